#include "hugepages.h"

#include <opencv2/core.hpp>

#include <sys/mman.h>

#include <cstdlib>

namespace {

constexpr size_t kHugePage = size_t(2) << 20;
// Smaller images gain little from huge pages, and would each leave part of one unused.
constexpr size_t kLargeImage = 2 * kHugePage;

// OpenCV's own allocator for everything but new large images, which it lays out the
// same way (rows one after another) in memory aligned to a huge page and marked for
// huge pages. The mark is only advice: the kernel uses ordinary pages when it must.
class HugePageAllocator : public cv::MatAllocator
{
public:
    cv::UMatData *allocate(int dims, const int *sizes, int type, void *data0, size_t *step, cv::AccessFlag flags,
                           cv::UMatUsageFlags usageFlags) const override
    {
        size_t total = CV_ELEM_SIZE(type);
        for (int i = 0; i < dims; ++i)
            total *= size_t(sizes[i]);
        void *data = nullptr;
        const size_t rounded = (total + kHugePage - 1) / kHugePage * kHugePage;
        if (data0 || total < kLargeImage || posix_memalign(&data, kHugePage, rounded) != 0)
            return standard->allocate(dims, sizes, type, data0, step, flags, usageFlags);
        madvise(data, rounded, MADV_HUGEPAGE);

        if (step) {
            size_t stride = CV_ELEM_SIZE(type);
            for (int i = dims - 1; i >= 0; --i) {
                step[i] = stride;
                stride *= size_t(sizes[i]);
            }
        }
        auto *u = new cv::UMatData(this);
        u->data = u->origdata = static_cast<uchar *>(data);
        u->size = total;
        return u;
    }

    bool allocate(cv::UMatData *u, cv::AccessFlag, cv::UMatUsageFlags) const override { return u != nullptr; }

    void deallocate(cv::UMatData *u) const override
    {
        if (!u)
            return;
        std::free(u->origdata);
        delete u;
    }

private:
    cv::MatAllocator *const standard = cv::Mat::getStdAllocator();
};

} // namespace

void placeLargeImagesOnHugePages()
{
    // Never destroyed: images may outlive any static object, up to the process's end.
    static HugePageAllocator *const allocator = new HugePageAllocator;
    cv::Mat::setDefaultAllocator(allocator);
}
