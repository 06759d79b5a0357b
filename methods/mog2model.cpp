#include "mog2model.h"

#include "mog2rows.h"

#include <QtGlobal>

#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <utility>

namespace {

// OpenCV's defaults for what the program does not set.
constexpr int defaultMixtures = 5;
constexpr float defaultBackgroundRatio = 0.9f;
constexpr float defaultVarThresholdGen = 3.0f * 3.0f;
constexpr float defaultVarInit = 15.0f;
constexpr float defaultVarMin = 4.0f;
constexpr float defaultVarMax = 5 * defaultVarInit;
constexpr float defaultComplexityReduction = 0.05f;

// A row's update in vector lanes, and how many pixels a vector holds.
struct RowUpdate
{
    int (*update)(const Mog2Row &, const Mog2Step &);
    int count;
};

RowUpdate rowUpdate(Mog2Model::Lanes lanes)
{
#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__)
    static const bool avx512 = cv::checkHardwareSupport(CV_CPU_AVX512_SKX);
    static const bool avx2 = cv::checkHardwareSupport(CV_CPU_AVX2);
    if (avx512 && lanes == Mog2Model::Lanes::Widest)
        return {updateInLanesAvx512, lanesAvx512()};
    if (avx2 && lanes != Mog2Model::Lanes::Baseline)
        return {updateInLanesAvx2, lanesAvx2()};
#else
    Q_UNUSED(lanes)
#endif
    return {updateInLanesBaseline, lanesBaseline()};
}

// One pixel, as OpenCV's loop does it: for the pixels of a row's shorter last block.
void updatePixel(const Mog2Row &row, const Mog2Step &step, int x)
{
    auto at = [&](int mode, int field) -> float & {
        return row.model[mog2Offset(row.cols, row.lanes, row.modeStride, x, mode, field)];
    };
    auto w = [&](int m) -> float & { return at(m, 0); };
    auto var = [&](int m) -> float & { return at(m, 1); };
    auto mu = [&](int m, int c) -> float & { return at(m, 2 + c); };
    auto swapModes = [&](int i, int j) {
        for (int field = 0; field < mog2Fields; ++field)
            std::swap(at(i, field), at(j, field));
    };
    const float data[3] = {row.channel[0][x], row.channel[1][x], row.channel[2][x]};

    bool background = false, fitsPDF = false;
    int nmodes = row.modes[x];
    float totalWeight = 0.f;
    for (int mode = 0; mode < nmodes; mode++) {
        float weightNow = step.alpha1 * w(mode) + step.prune;
        int swapCount = 0;
        if (!fitsPDF) {
            const float v = var(mode);
            float d[3];
            d[0] = mu(mode, 0) - data[0];
            d[1] = mu(mode, 1) - data[1];
            d[2] = mu(mode, 2) - data[2];
            const float dist2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
            if (totalWeight < step.TB && dist2 < step.Tb * v)
                background = true;
            if (dist2 < step.Tg * v) {
                fitsPDF = true;
                weightNow += step.alphaT;
                const float k = step.alphaT / weightNow;
                for (int c = 0; c < 3; c++)
                    mu(mode, c) -= k * d[c];
                float varnew = v + k * (dist2 - v);
                varnew = varnew < step.varMin ? step.varMin : varnew;
                varnew = varnew > step.varMax ? step.varMax : varnew;
                var(mode) = varnew;
                for (int i = mode; i > 0; i--) {
                    if (weightNow < w(i - 1))
                        break;
                    swapCount++;
                    swapModes(i, i - 1);
                }
            }
        }
        if (weightNow < -step.prune) {
            weightNow = 0.0;
            nmodes--;
        }
        w(mode - swapCount) = weightNow;
        totalWeight += weightNow;
    }

    float invWeight = 0.f;
    if (std::abs(totalWeight) > FLT_EPSILON)
        invWeight = 1.f / totalWeight;
    for (int mode = 0; mode < nmodes; mode++)
        w(mode) *= invWeight;

    if (!fitsPDF && step.alphaT > 0.f) {
        const int mode = nmodes == step.nmixtures ? step.nmixtures - 1 : nmodes++;
        if (nmodes == 1) {
            w(mode) = 1.f;
        } else {
            w(mode) = step.alphaT;
            for (int i = 0; i < nmodes - 1; i++)
                w(i) *= step.alpha1;
        }
        for (int c = 0; c < 3; c++)
            mu(mode, c) = data[c];
        var(mode) = step.varInit;
        for (int i = nmodes - 1; i > 0; i--) {
            if (step.alphaT < w(i - 1))
                break;
            swapModes(i, i - 1);
        }
    }
    row.modes[x] = static_cast<unsigned char>(nmodes);
    row.mask[x] = background ? 0 : 255;
}

} // namespace

Mog2Model::Mog2Model(int history, double varThreshold, bool detectShadows, Lanes lanes)
    : history(history)
    , nmixtures(defaultMixtures)
    , varThreshold(static_cast<float>(varThreshold))  // as OpenCV's factory keeps it
    , backgroundRatio(defaultBackgroundRatio)
    , varThresholdGen(defaultVarThresholdGen)
    , varInit(defaultVarInit)
    , varMin(defaultVarMin)
    , varMax(defaultVarMax)
    , complexityReduction(defaultComplexityReduction)
    , lanes(lanes)
    , opencv(cv::createBackgroundSubtractorMOG2(history, varThreshold, detectShadows))
{
}

int Mog2Model::laneCount() const
{
    return rowUpdate(lanes).count;
}

bool Mog2Model::covers(const cv::Mat &image) const
{
    return image.type() == CV_8UC3 && !opencv->getDetectShadows() && nmixtures >= 1 && nmixtures <= mog2MaxModes;
}

void Mog2Model::apply(cv::InputArray image, cv::OutputArray fgmask, double learningRate)
{
    const cv::Mat frame = image.getMat();
    const bool wasOurs = ours;
    ours = covers(frame);
    if (!ours) {
        opencv->apply(image, fgmask, learningRate);
        return;
    }
    if (!wasOurs || frames == 0 || learningRate >= 1 || frame.size() != frameSize) {
        frameSize = frame.size();
        frames = 0;
        // Written on both cores: at 3840 x 2160 it is 800 MB, all of it fresh pages.
        model.clear();
        model.resize(frame.total() * nmixtures * mog2Fields);
        cv::parallel_for_(cv::Range(0, frame.rows), [&](const cv::Range &rows) {
            const std::size_t perRow = static_cast<std::size_t>(frame.cols) * mog2Fields;
            for (int mode = 0; mode < nmixtures; ++mode) {
                const auto plane = model.begin() + mode * frame.total() * mog2Fields;
                std::fill(plane + rows.start * perRow, plane + rows.end * perRow, 0.f);
            }
        });
        modesUsed.assign(frame.total(), 0);
    }
    fgmask.create(frame.size(), CV_8U);
    cv::Mat mask = fgmask.getMat();

    ++frames;
    const double rate = learningRate >= 0 && frames > 1 ? learningRate : 1. / std::min(2 * frames, history);
    CV_Assert(rate >= 0);
    const Mog2Step step = {float(rate),
                           1.f - float(rate),
                           float(-rate * complexityReduction),
                           float(varThreshold),
                           backgroundRatio,
                           varThresholdGen,
                           varInit,
                           std::min(varMin, varMax),
                           std::max(varMin, varMax),
                           nmixtures};

    const RowUpdate lanesHere = rowUpdate(lanes);
    const int cols = frame.cols;
    cv::parallel_for_(cv::Range(0, frame.rows), [&](const cv::Range &rows) {
        std::vector<float> channels(3 * static_cast<std::size_t>(cols));
        for (int y = rows.start; y < rows.end; ++y) {
            const std::size_t start = static_cast<std::size_t>(y) * cols;
            const Mog2Row row = {cols,
                                 lanesHere.count,
                                 frame.ptr<unsigned char>(y),
                                 {channels.data(), channels.data() + cols, channels.data() + 2 * cols},
                                 model.data() + start * mog2Fields,
                                 frame.total() * mog2Fields,
                                 modesUsed.data() + start,
                                 mask.ptr<unsigned char>(y)};
            for (int x = lanesHere.update(row, step); x < cols; ++x)
                updatePixel(row, step, x);
        }
    }, frame.total() / double(1 << 16));
    lanesUsed = lanesHere.count;
}

void Mog2Model::getBackgroundImage(cv::OutputArray backgroundImage) const
{
    if (!ours) {
        opencv->getBackgroundImage(backgroundImage);
        return;
    }
    // As OpenCV's: the modes' means weighted, until their weights pass the background ratio.
    cv::Mat background(frameSize, CV_8UC3, cv::Scalar::all(0));
    for (int y = 0; y < frameSize.height; ++y) {
        const float *row = model.data() + std::size_t(y) * frameSize.width * mog2Fields;
        const std::size_t modeStride = frameSize.area() * std::size_t(mog2Fields);
        for (int x = 0; x < frameSize.width; ++x) {
            auto at = [&](int mode, int field) {
                return row[mog2Offset(frameSize.width, lanesUsed, modeStride, x, mode, field)];
            };
            cv::Vec3f meanVal(0.f, 0.f, 0.f);
            float totalWeight = 0.f;
            for (int mode = 0; mode < modesUsed[std::size_t(y) * frameSize.width + x]; mode++) {
                const float weight = at(mode, 0);
                for (int c = 0; c < 3; c++)
                    meanVal(c) += weight * at(mode, 2 + c);
                totalWeight += weight;
                if (totalWeight > backgroundRatio)
                    break;
            }
            const float invWeight = std::abs(totalWeight) > FLT_EPSILON ? 1.f / totalWeight : 0.f;
            background.at<cv::Vec3b>(y, x) = cv::Vec3b(meanVal * invWeight);
        }
    }
    background.copyTo(backgroundImage);
}

// Every change of a parameter reaches OpenCV's model too, which serves what ours does not.
void Mog2Model::setHistory(int value)
{
    history = value;
    opencv->setHistory(value);
}

void Mog2Model::setNMixtures(int value)
{
    nmixtures = value;
    opencv->setNMixtures(value);
    startAgain();
}

void Mog2Model::setBackgroundRatio(double value)
{
    backgroundRatio = float(value);
    opencv->setBackgroundRatio(value);
}

void Mog2Model::setVarThreshold(double value)
{
    varThreshold = value;
    opencv->setVarThreshold(value);
}

void Mog2Model::setVarThresholdGen(double value)
{
    varThresholdGen = float(value);
    opencv->setVarThresholdGen(value);
}

void Mog2Model::setVarInit(double value)
{
    varInit = float(value);
    opencv->setVarInit(value);
}

void Mog2Model::setVarMin(double value)
{
    varMin = float(value);
    opencv->setVarMin(value);
}

void Mog2Model::setVarMax(double value)
{
    varMax = float(value);
    opencv->setVarMax(value);
}

void Mog2Model::setComplexityReductionThreshold(double value)
{
    complexityReduction = float(value);
    opencv->setComplexityReductionThreshold(value);
}

void Mog2Model::setDetectShadows(bool value)
{
    opencv->setDetectShadows(value);
}
