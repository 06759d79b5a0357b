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
    const int blockFloats = lanes * step.nmixtures * mog2Fields;
    const int prefetchAhead = std::max(1, 32 / lanes);
    const int nmixtures = step.nmixtures;
    const v_float32 zero = vx_setzero_f32(), one = vx_setall_f32(1.f);
    const v_float32 alphaT = vx_setall_f32(step.alphaT), alpha1 = vx_setall_f32(step.alpha1);
    const v_float32 prune = vx_setall_f32(step.prune), minusPrune = vx_setall_f32(-step.prune);
    const v_float32 Tb = vx_setall_f32(step.Tb), TB = vx_setall_f32(step.TB), Tg = vx_setall_f32(step.Tg);
    const v_float32 varInit = vx_setall_f32(step.varInit), varMin = vx_setall_f32(step.varMin);
    const v_float32 varMax = vx_setall_f32(step.varMax), epsilon = vx_setall_f32(FLT_EPSILON);
    const v_float32 full = vx_setall_f32(float(nmixtures));

    int x = 0;
    for (; x + lanes <= row.cols; x += lanes) {
        // The modes some lane uses, and one more that a lane may add: no others are
        // touched. A mode's weights are read for every lane that uses it; its variance
        // and means only while a lane still looks for its mode, and they are written
        // only where they changed: OpenCV reads and writes no more.
        // OpenCV's expanding load reads the counts as one int, which needs its alignment.
        alignas(8) unsigned char counts[lanes];
        std::memcpy(counts, row.modes + x, lanes);
        const v_uint32 used = vx_load_expand_q(counts);
        const int most = int(v_reduce_max(used));
        const int touched = std::min(nmixtures, most + 1);
        float *block = row.model + std::size_t(x / lanes) * blockFloats;
        // What blocks a few ahead read first is on its way from memory meanwhile.
        for (int line = 0; line < std::max(1, most) * mog2Fields * lanes; line += 16)
            __builtin_prefetch(block + prefetchAhead * blockFloats + line, 1);
        v_float32 w[mog2MaxModes], var[mog2MaxModes], mean[mog2MaxModes][3];
        bool weighed[mog2MaxModes] = {}, read[mog2MaxModes] = {}, changed[mog2MaxModes] = {};
        auto at = [&](int m, int field) { return block + mog2Slot(m, field) * lanes; };
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
        for (int m = 0; m < most; ++m)
            weigh(m);
        const v_float32 data[3] = {vx_load(row.channel[0] + x), vx_load(row.channel[1] + x),
                                   vx_load(row.channel[2] + x)};

        v_float32 nmodes = v_cvt_f32(v_reinterpret_as_s32(used));
        v_float32 background = zero, fits = zero, totalWeight = zero;
        for (int m = 0; m < most; ++m) {
            const v_float32 mode = vx_setall_f32(float(m));
            const v_float32 active = mode < nmodes;
            if (!v_check_any(active))
                break;
            v_float32 weight = alpha1 * w[m] + prune;

            // Not fitted yet: does the pixel belong to this mode?
            const v_float32 checking = active & ~fits;
            v_float32 fit = zero;
            if (v_check_any(checking)) {
                readModes(m);
                const v_float32 d0 = mean[m][0] - data[0], d1 = mean[m][1] - data[1], d2 = mean[m][2] - data[2];
                const v_float32 dist2 = d0 * d0 + d1 * d1 + d2 * d2;
                background = background | (checking & (totalWeight < TB) & (dist2 < Tb * var[m]));
                fit = checking & (dist2 < Tg * var[m]);
                if (v_check_any(fit)) {
                    const v_float32 fitted = weight + alphaT;
                    const v_float32 k = alphaT / fitted;
                    weight = v_select(fit, fitted, weight);
                    mean[m][0] = v_select(fit, mean[m][0] - k * d0, mean[m][0]);
                    mean[m][1] = v_select(fit, mean[m][1] - k * d1, mean[m][1]);
                    mean[m][2] = v_select(fit, mean[m][2] - k * d2, mean[m][2]);
                    v_float32 varnew = var[m] + k * (dist2 - var[m]);
                    varnew = v_select(varnew < varMin, varMin, varnew);  // OpenCV's MAX
                    varnew = v_select(varnew > varMax, varMax, varnew);  // and MIN
                    var[m] = v_select(fit, varnew, var[m]);
                    fits = fits | fit;
                    changed[m] = true;
                }
            }

            // A fitted mode goes up past the lighter ones above it.
            v_float32 place = mode;
            v_float32 rising = fit;
            for (int i = m; i > 0 && v_check_any(rising); --i) {
                rising = rising & ~(weight < w[i - 1]);
                place = v_select(rising, place - one, place);
                if (v_check_any(rising))
                    swapModes(rising, i);
            }

            const v_float32 pruned = active & (weight < minusPrune);
            weight = v_select(pruned, zero, weight);
            nmodes = v_select(pruned, nmodes - one, nmodes);
            for (int j = 0; j <= m; ++j)
                w[j] = v_select(active & (place == vx_setall_f32(float(j))), weight, w[j]);
            totalWeight = v_select(active, totalWeight + weight, totalWeight);
        }

        // Weights that sum to one; none, where the pixel fitted no mode.
        const v_float32 invWeight = v_select(v_abs(totalWeight) > epsilon, one / totalWeight, zero);
        for (int m = 0; m < most; ++m)
            w[m] = v_select(vx_setall_f32(float(m)) < nmodes, w[m] * invWeight, w[m]);

        // A new mode where none fitted: in place of the weakest when all are used.
        const v_float32 adding = ~fits;
        if (step.alphaT > 0.f && v_check_any(adding)) {
            const v_float32 allUsed = nmodes == full;
            const v_float32 index = v_select(allUsed, full - one, nmodes);
            nmodes = v_select(adding & ~allUsed, nmodes + one, nmodes);
            const v_float32 alone = nmodes == one;
            for (int m = 0; m < touched; ++m) {
                const v_float32 mode = vx_setall_f32(float(m));
                const v_float32 here = adding & (mode == index);
                if (v_check_any(here)) {
                    weigh(m);
                    readModes(m);
                    w[m] = v_select(here, v_select(alone, one, alphaT), w[m]);
                    for (int c = 0; c < 3; ++c)
                        mean[m][c] = v_select(here, data[c], mean[m][c]);
                    var[m] = v_select(here, varInit, var[m]);
                    changed[m] = true;
                }
                if (m < most)
                    w[m] = v_select(adding & ~alone & (mode < nmodes - one), w[m] * alpha1, w[m]);
            }
            v_float32 rising = adding;
            for (int i = touched - 1; i > 0; --i) {
                const v_float32 from = vx_setall_f32(float(i)) <= nmodes - one;
                const v_float32 swaps = rising & from & ~(alphaT < w[i - 1]);
                rising = rising & (~from | swaps);
                if (v_check_any(swaps))
                    swapModes(swaps, i);
            }
        }

        for (int m = 0; m < touched; ++m) {
            if (weighed[m])
                v_store(at(m, 0), w[m]);
            if (changed[m]) {
                v_store(at(m, 1), var[m]);
                for (int c = 0; c < 3; ++c)
                    v_store(at(m, 2 + c), mean[m][c]);
            }
        }
        float count[lanes];
        int isBackground[lanes];
        v_store(count, nmodes);
        v_store(isBackground, v_reinterpret_as_s32(background));
        for (int i = 0; i < lanes; ++i) {
            row.modes[x + i] = static_cast<unsigned char>(count[i]);
            row.mask[x + i] = isBackground[i] ? 0 : 255;
        }
    }
    vx_cleanup();
    return x;
}
