// The MOG2 model's update of a row, a vector of pixels at a time, in OpenCV's universal
// intrinsics: included by a file for each instruction set it is compiled for, which
// names MOG2_LANES_FUNCTION. Each lane is a pixel. OpenCV's loop takes a path of its own
// for each pixel; here every lane goes every way, and a mask keeps what its path gives.
// The arithmetic is OpenCV's, operation for operation, and floating-point contraction
// is off for these files: the masks come out bit for bit the same.

#include "mog2rows.h"

#include <opencv2/core/hal/intrin.hpp>

#include <algorithm>
#include <cfloat>
#include <cstring>

namespace {

// The constants of a frame's step, in lanes.
struct Mog2StepLanes
{
    explicit Mog2StepLanes(const Mog2Step &step)
        : zero(cv::vx_setzero_f32()), one(cv::vx_setall_f32(1.f)), alphaT(cv::vx_setall_f32(step.alphaT)),
          alpha1(cv::vx_setall_f32(step.alpha1)), prune(cv::vx_setall_f32(step.prune)),
          minusPrune(cv::vx_setall_f32(-step.prune)), Tb(cv::vx_setall_f32(step.Tb)), TB(cv::vx_setall_f32(step.TB)),
          Tg(cv::vx_setall_f32(step.Tg)), varInit(cv::vx_setall_f32(step.varInit)),
          varMin(cv::vx_setall_f32(step.varMin)), varMax(cv::vx_setall_f32(step.varMax)),
          epsilon(cv::vx_setall_f32(FLT_EPSILON)), full(cv::vx_setall_f32(float(step.nmixtures))),
          learns(step.alphaT > 0.f), nmixtures(step.nmixtures)
    {
    }
    cv::v_float32 zero, one, alphaT, alpha1, prune, minusPrune, Tb, TB, Tg, varInit, varMin, varMax, epsilon, full;
    bool learns;
    int nmixtures;
};

// One block of pixels whose most used modes are `Most`: with that known when it is
// compiled, every loop over the modes unrolls and the modes stay in registers.
template <int Most>
inline void updateBlock(float *block, std::size_t modeStride, const cv::v_float32 data[3], const cv::v_uint32 &used,
                        const Mog2StepLanes &k, cv::v_float32 &nmodesOut, cv::v_float32 &backgroundOut)
{
    using namespace cv;
    constexpr int lanes = v_float32::nlanes;
    // The modes some lane uses, and one more that a lane may add: no others are
    // touched. A mode's weights are read for every lane that uses it; its variance
    // and means only while a lane still looks for its mode, and they are written
    // only where they changed: OpenCV reads and writes no more.
    constexpr int Room = Most < mog2MaxModes ? Most + 1 : Most;
    const int touched = std::min(k.nmixtures, Most + 1);
    v_float32 w[Room], var[Room], mean[Room][3];
    bool weighed[Room] = {}, read[Room] = {}, changed[Room] = {};
    auto at = [&](int m, int field) { return block + m * modeStride + field * lanes; };
    auto weigh = [&](int m) {
        if (!weighed[m])
            w[m] = vx_load(at(m, 0));
        weighed[m] = true;
    };
    auto readModes = [&](int m) {
        if (read[m])
            return;
        var[m] = vx_load(at(m, 1));
        for (int c = 0; c < 3; ++c)
            mean[m][c] = vx_load(at(m, 2 + c));
        read[m] = true;
    };
    auto swapModes = [&](const v_float32 &where, int i) {
        const v_float32 wi = w[i], vi = var[i];
        w[i] = v_select(where, w[i - 1], wi);
        w[i - 1] = v_select(where, wi, w[i - 1]);
        var[i] = v_select(where, var[i - 1], vi);
        var[i - 1] = v_select(where, vi, var[i - 1]);
        for (int c = 0; c < 3; ++c) {
            const v_float32 mi = mean[i][c];
            mean[i][c] = v_select(where, mean[i - 1][c], mi);
            mean[i - 1][c] = v_select(where, mi, mean[i - 1][c]);
        }
        changed[i] = changed[i - 1] = true;
    };
#pragma GCC unroll 8
    for (int m = 0; m < Most; ++m)
        weigh(m);

    v_float32 nmodes = v_cvt_f32(v_reinterpret_as_s32(used));
    v_float32 background = k.zero, fits = k.zero, totalWeight = k.zero;
#pragma GCC unroll 8
    for (int m = 0; m < Most; ++m) {
        const v_float32 active = vx_setall_f32(float(m)) < nmodes;
        if (!v_check_any(active))
            break;
        v_float32 weight = k.alpha1 * w[m] + k.prune;

        // Not fitted yet: does the pixel belong to this mode?
        const v_float32 checking = active & ~fits;
        v_float32 fit = k.zero;
        if (v_check_any(checking)) {
            readModes(m);
            const v_float32 d0 = mean[m][0] - data[0], d1 = mean[m][1] - data[1], d2 = mean[m][2] - data[2];
            const v_float32 dist2 = d0 * d0 + d1 * d1 + d2 * d2;
            background = background | (checking & (totalWeight < k.TB) & (dist2 < k.Tb * var[m]));
            fit = checking & (dist2 < k.Tg * var[m]);
            if (v_check_any(fit)) {
                const v_float32 fitted = weight + k.alphaT;
                const v_float32 rate = k.alphaT / fitted;
                weight = v_select(fit, fitted, weight);
                mean[m][0] = v_select(fit, mean[m][0] - rate * d0, mean[m][0]);
                mean[m][1] = v_select(fit, mean[m][1] - rate * d1, mean[m][1]);
                mean[m][2] = v_select(fit, mean[m][2] - rate * d2, mean[m][2]);
                v_float32 varnew = var[m] + rate * (dist2 - var[m]);
                varnew = v_select(varnew < k.varMin, k.varMin, varnew);  // OpenCV's MAX
                varnew = v_select(varnew > k.varMax, k.varMax, varnew);  // and MIN
                var[m] = v_select(fit, varnew, var[m]);
                fits = fits | fit;
                changed[m] = true;
            }
        }

        // The new weight goes in the mode's place, pruned to nothing when it is too
        // light, and a fitted mode then goes up past the lighter ones above it,
        // compared by its weight before any pruning, as OpenCV compares it.
        const v_float32 pruned = active & (weight < k.minusPrune);
        nmodes = v_select(pruned, nmodes - k.one, nmodes);
        const v_float32 kept = v_select(pruned, k.zero, weight);
        w[m] = v_select(active, kept, w[m]);
        totalWeight = v_select(active, totalWeight + kept, totalWeight);
        v_float32 rising = fit;
#pragma GCC unroll 8
        for (int i = m; i > 0; --i) {
            rising = rising & ~(weight < w[i - 1]);
            if (!v_check_any(rising))
                break;
            swapModes(rising, i);
        }
    }

    // Weights that sum to one; none, where the pixel fitted no mode.
    const v_float32 invWeight = v_select(v_abs(totalWeight) > k.epsilon, k.one / totalWeight, k.zero);
#pragma GCC unroll 8
    for (int m = 0; m < Most; ++m)
        w[m] = v_select(vx_setall_f32(float(m)) < nmodes, w[m] * invWeight, w[m]);

    // A new mode where none fitted: in place of the weakest when all are used.
    const v_float32 adding = ~fits;
    if (k.learns && v_check_any(adding)) {
        const v_float32 allUsed = nmodes == k.full;
        const v_float32 index = v_select(allUsed, k.full - k.one, nmodes);
        nmodes = v_select(adding & ~allUsed, nmodes + k.one, nmodes);
        const v_float32 alone = nmodes == k.one;
#pragma GCC unroll 8
        for (int m = 0; m < Room; ++m) {
            if (m >= touched)
                break;
            const v_float32 mode = vx_setall_f32(float(m));
            const v_float32 here = adding & (mode == index);
            if (v_check_any(here)) {
                weigh(m);
                readModes(m);
                w[m] = v_select(here, v_select(alone, k.one, k.alphaT), w[m]);
                for (int c = 0; c < 3; ++c)
                    mean[m][c] = v_select(here, data[c], mean[m][c]);
                var[m] = v_select(here, k.varInit, var[m]);
                changed[m] = true;
            }
            if (m < Most)
                w[m] = v_select(adding & ~alone & (mode < nmodes - k.one), w[m] * k.alpha1, w[m]);
        }
        v_float32 rising = adding;
#pragma GCC unroll 8
        for (int i = Room - 1; i > 0; --i) {
            if (i >= touched)
                continue;
            const v_float32 from = vx_setall_f32(float(i)) <= nmodes - k.one;
            const v_float32 swaps = rising & from & ~(k.alphaT < w[i - 1]);
            rising = rising & (~from | swaps);
            if (v_check_any(swaps))
                swapModes(swaps, i);
        }
    }

#pragma GCC unroll 8
    for (int m = 0; m < Room; ++m) {
        if (m >= touched)
            break;
        if (weighed[m])
            v_store(at(m, 0), w[m]);
        if (changed[m]) {
            v_store(at(m, 1), var[m]);
            for (int c = 0; c < 3; ++c)
                v_store(at(m, 2 + c), mean[m][c]);
        }
    }
    nmodesOut = nmodes;
    backgroundOut = background;
}

} // namespace

int MOG2_LANES_COUNT_FUNCTION()
{
    return cv::v_float32::nlanes;
}

int MOG2_LANES_FUNCTION(const Mog2Row &row, const Mog2Step &step)
{
    using namespace cv;
    constexpr int lanes = v_float32::nlanes;
    CV_Assert(row.lanes == lanes);

    // The frame's row as float planes.
    {
        int x = 0;
        for (; x + v_uint8::nlanes <= row.cols; x += v_uint8::nlanes) {
            v_uint8 bgr[3];
            v_load_deinterleave(row.pixels + 3 * x, bgr[0], bgr[1], bgr[2]);
            for (int c = 0; c < 3; ++c) {
                v_uint16 low, high;
                v_expand(bgr[c], low, high);
                v_uint32 part[4];
                v_expand(low, part[0], part[1]);
                v_expand(high, part[2], part[3]);
                for (int p = 0; p < 4; ++p)
                    v_store(row.channel[c] + x + p * lanes, v_cvt_f32(v_reinterpret_as_s32(part[p])));
            }
        }
        for (; x < row.cols; ++x)
            for (int c = 0; c < 3; ++c)
                row.channel[c][x] = row.pixels[3 * x + c];
    }
    const int blockFloats = lanes * mog2Fields;
    const int prefetchAhead = std::max(1, 128 / lanes);
    const Mog2StepLanes constants(step);

    int x = 0;
    for (; x + lanes <= row.cols; x += lanes) {
        // OpenCV's expanding load reads the counts as one int, which needs its alignment.
        alignas(8) unsigned char counts[lanes];
        std::memcpy(counts, row.modes + x, lanes);
        const v_uint32 used = vx_load_expand_q(counts);
        const int most = std::min(int(v_reduce_max(used)), step.nmixtures);
        float *block = row.model + std::size_t(x / lanes) * blockFloats;
        // The modes that a block a few ahead used in the last frame are on their way from
        // memory meanwhile: the first mode's plane streams in, but the others are read here
        // and there.
        const int ahead = x + prefetchAhead * lanes;
        if (ahead + lanes <= row.cols) {
            alignas(8) unsigned char countsAhead[lanes];
            std::memcpy(countsAhead, row.modes + ahead, lanes);
            const int modesAhead = std::min(int(v_reduce_max(vx_load_expand_q(countsAhead))), step.nmixtures);
            const float *aheadBlock = block + prefetchAhead * blockFloats;
            for (int m = 0; m < std::max(1, modesAhead); ++m)
                for (int line = 0; line < blockFloats; line += 16)
                    __builtin_prefetch(aheadBlock + m * row.modeStride + line, 1);
        }
        const v_float32 data[3] = {vx_load(row.channel[0] + x), vx_load(row.channel[1] + x),
                                   vx_load(row.channel[2] + x)};
        v_float32 nmodes, background;
        switch (most) {
        case 0: updateBlock<0>(block, row.modeStride, data, used, constants, nmodes, background); break;
        case 1: updateBlock<1>(block, row.modeStride, data, used, constants, nmodes, background); break;
        case 2: updateBlock<2>(block, row.modeStride, data, used, constants, nmodes, background); break;
        case 3: updateBlock<3>(block, row.modeStride, data, used, constants, nmodes, background); break;
        case 4: updateBlock<4>(block, row.modeStride, data, used, constants, nmodes, background); break;
        case 5: updateBlock<5>(block, row.modeStride, data, used, constants, nmodes, background); break;
        case 6: updateBlock<6>(block, row.modeStride, data, used, constants, nmodes, background); break;
        case 7: updateBlock<7>(block, row.modeStride, data, used, constants, nmodes, background); break;
        default: updateBlock<8>(block, row.modeStride, data, used, constants, nmodes, background); break;
        }
        static_assert(mog2MaxModes == 8, "a case for each count of modes");
        // The floats of the block's pixels are read: their places take its counts and
        // masks, packed into bytes for the whole row below.
        v_store(reinterpret_cast<unsigned *>(row.channel[0]) + x, v_reinterpret_as_u32(v_trunc(nmodes)));
        v_store(reinterpret_cast<unsigned *>(row.channel[1]) + x, ~v_reinterpret_as_u32(background));
    }
    const unsigned *counts = reinterpret_cast<const unsigned *>(row.channel[0]);
    const unsigned *foreground = reinterpret_cast<const unsigned *>(row.channel[1]);
    int i = 0;
    for (; i + v_uint8::nlanes <= x; i += v_uint8::nlanes) {
        v_store(row.modes + i, v_pack_b(vx_load(counts + i), vx_load(counts + i + lanes),
                                        vx_load(counts + i + 2 * lanes), vx_load(counts + i + 3 * lanes)));
        v_store(row.mask + i, v_pack_b(vx_load(foreground + i), vx_load(foreground + i + lanes),
                                       vx_load(foreground + i + 2 * lanes), vx_load(foreground + i + 3 * lanes)));
    }
    for (; i < x; ++i) {
        unsigned count, isForeground;
        std::memcpy(&count, counts + i, sizeof count);
        std::memcpy(&isForeground, foreground + i, sizeof isForeground);
        row.modes[i] = static_cast<unsigned char>(count);
        row.mask[i] = isForeground ? 255 : 0;
    }
    vx_cleanup();
    return x;
}
