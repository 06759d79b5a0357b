#ifndef MOG2MODEL_H
#define MOG2MODEL_H

#include "largememory.h"

#include <opencv2/video/background_segm.hpp>

#include <cstddef>
#include <vector>

// OpenCV's MOG2 background model (Zivkovic's Gaussian mixtures, as
// cv::BackgroundSubtractorMOG2 has it in OpenCV 4.6), computed several pixels at a time
// with OpenCV's universal intrinsics, and giving the same masks bit for bit: the same
// arithmetic, in the same order, each vector lane a pixel that takes its own path.
// It covers 8-bit frames of three channels without shadow detection; anything else
// (other frames, shadows, more than eight modes) goes to OpenCV's own model, whose
// parameters it keeps in step.
class Mog2Model : public cv::BackgroundSubtractorMOG2
{
public:
    // The widest vector lanes this machine has (AVX-512's 16 or AVX2's 8 where it has
    // them), AVX2's at most, or the platform's baseline ones (SSE2's or NEON's 4).
    enum class Lanes { Widest, Avx2, Baseline };

    Mog2Model(int history, double varThreshold, bool detectShadows, Lanes lanes = Lanes::Widest);

    void apply(cv::InputArray image, cv::OutputArray fgmask, double learningRate = -1) override;
    void getBackgroundImage(cv::OutputArray backgroundImage) const override;

    int getHistory() const override { return history; }
    void setHistory(int value) override;
    int getNMixtures() const override { return nmixtures; }
    void setNMixtures(int value) override;
    double getBackgroundRatio() const override { return backgroundRatio; }
    void setBackgroundRatio(double value) override;
    double getVarThreshold() const override { return varThreshold; }
    void setVarThreshold(double value) override;
    double getVarThresholdGen() const override { return varThresholdGen; }
    void setVarThresholdGen(double value) override;
    double getVarInit() const override { return varInit; }
    void setVarInit(double value) override;
    double getVarMin() const override { return varMin; }
    void setVarMin(double value) override;
    double getVarMax() const override { return varMax; }
    void setVarMax(double value) override;
    double getComplexityReductionThreshold() const override { return complexityReduction; }
    void setComplexityReductionThreshold(double value) override;
    bool getDetectShadows() const override { return opencv->getDetectShadows(); }
    void setDetectShadows(bool value) override;
    int getShadowValue() const override { return opencv->getShadowValue(); }
    void setShadowValue(int value) override { opencv->setShadowValue(value); }
    double getShadowThreshold() const override { return opencv->getShadowThreshold(); }
    void setShadowThreshold(double value) override { opencv->setShadowThreshold(value); }

    // Whether the last frame went through this model rather than OpenCV's.
    bool lastFrameWasOurs() const { return ours; }
    // The pixels a vector holds.
    int laneCount() const;

private:
    bool covers(const cv::Mat &image) const;
    // What a frame's change of the parameters means: the model starts again.
    void startAgain() { frames = 0; }

    // OpenCV's parameters, in OpenCV's types, which decide the arithmetic's precision.
    int history;
    int nmixtures;
    double varThreshold;
    float backgroundRatio;
    float varThresholdGen;
    float varInit;
    float varMin;
    float varMax;
    float complexityReduction;

    // The model, laid out for the vector lanes (see Mog2Row), and how many modes each
    // pixel uses: as much memory as OpenCV's model takes. Walked through every frame,
    // the model goes in huge pages where there are: a fifth less time at 1920 x 1080.
    cv::Size frameSize;
    std::vector<float, LargeMemoryAllocator<float>> model;
    std::vector<unsigned char> modesUsed;
    Lanes lanes;
    int lanesUsed = 1;
    int frames = 0;
    bool ours = false;

    cv::Ptr<cv::BackgroundSubtractorMOG2> opencv;
};

#endif // MOG2MODEL_H
