// Runs the program's MOG2 model and OpenCV's side by side and compares their masks,
// every pixel of every frame, in every width of vector lanes this machine has:
//
//   mog2check CLIP...
//
// on each clip as it is, resized to 320 x 240, 1280 x 720 and to widths the lanes do
// not divide, with a sudden change of light half-way, with three modes, and on noise.
// Prints a line a case; exits 1 when a mask differs. The tests run it where their own
// framework is not built: the Windows program's folder under Wine.

#include "mog2model.h"

#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Case
{
    std::string name;
    std::vector<cv::Mat> frames;
    int modes = 5;
};

std::vector<cv::Mat> readFrames(const std::string &path, int most)
{
    std::vector<cv::Mat> frames;
    cv::VideoCapture capture(path);
    for (cv::Mat frame; int(frames.size()) < most && capture.read(frame);)
        frames.push_back(frame.clone());
    return frames;
}

// The clip at `size`, 60 % brighter from the middle on when `light` is set.
std::vector<cv::Mat> changed(const std::vector<cv::Mat> &clip, cv::Size size, bool light)
{
    std::vector<cv::Mat> frames(clip.size());
    for (size_t i = 0; i < clip.size(); ++i) {
        cv::resize(clip[i], frames[i], size, 0, 0, cv::INTER_AREA);
        if (light && i >= clip.size() / 2)
            frames[i].convertTo(frames[i], -1, 1.6, 10);
    }
    return frames;
}

std::vector<cv::Mat> noise(cv::Size size, int count)
{
    cv::RNG random(11);
    std::vector<cv::Mat> frames(count);
    for (cv::Mat &frame : frames) {
        frame.create(size, CV_8UC3);
        random.fill(frame, cv::RNG::UNIFORM, 0, 256);
    }
    return frames;
}

// Empty when every mask and the background image are OpenCV's; else where they part.
std::string difference(const Case &test, Mog2Model::Lanes lanes)
{
    cv::Ptr<cv::BackgroundSubtractorMOG2> opencv = cv::createBackgroundSubtractorMOG2(500, 16, false);
    Mog2Model model(500, 16, false, lanes);
    opencv->setNMixtures(test.modes);
    model.setNMixtures(test.modes);
    cv::Mat expected, mask;
    double foreground = 0, pixels = 0;
    for (size_t i = 0; i < test.frames.size(); ++i) {
        // The program's rate, after OpenCV's own for the first frames.
        const double rate = i < 5 ? -1 : 0.03;
        opencv->apply(test.frames[i], expected, rate);
        model.apply(test.frames[i], mask, rate);
        if (!model.lastFrameWasOurs())
            return "frame " + std::to_string(i) + " was left to OpenCV's model";
        if (mask.size() != expected.size() || mask.type() != expected.type() || cv::countNonZero(mask != expected))
            return "the masks differ in frame " + std::to_string(i);
        foreground += cv::countNonZero(expected);
        pixels += double(expected.total());
    }
    // Masks all of one kind would prove little.
    if (foreground == 0 || foreground == pixels)
        return "every mask is all " + std::string(foreground == 0 ? "background" : "foreground");
    cv::Mat expectedBackground, background;
    opencv->getBackgroundImage(expectedBackground);
    model.getBackgroundImage(background);
    return cv::norm(expectedBackground, background, cv::NORM_INF) == 0 ? "" : "the background images differ";
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: mog2check CLIP...\n");
        return 2;
    }
    std::vector<Case> cases = {{"noise, 323x241", noise({323, 241}, 30)}};
    for (int i = 1; i < argc; ++i) {
        const std::vector<cv::Mat> clip = readFrames(argv[i], 40);
        if (clip.size() < 20) {
            std::fprintf(stderr, "mog2check: cannot read 20 frames of %s\n", argv[i]);
            return 2;
        }
        const std::string name = argv[i];
        cases.push_back({name, clip});
        cases.push_back({name + ", 320x240", changed(clip, {320, 240}, false)});
        cases.push_back({name + ", 1280x720", changed(clip, {1280, 720}, false)});
        cases.push_back({name + ", light, 1920x1080", changed(clip, {1920, 1080}, true)});
        cases.push_back({name + ", light, 1283x717", changed(clip, {1283, 717}, true)});
        cases.push_back({name + ", three modes, 333x201", changed(clip, {333, 201}, false), 3});
    }

    int failed = 0;
    for (const Case &test : cases) {
        for (const Mog2Model::Lanes lanes : {Mog2Model::Lanes::Widest, Mog2Model::Lanes::Avx2, Mog2Model::Lanes::Baseline}) {
            const int width = Mog2Model(500, 16, false, lanes).laneCount();
            const std::string problem = difference(test, lanes);
            std::printf("%s  %s, %d lanes%s%s\n", problem.empty() ? "same" : "DIFF", test.name.c_str(), width,
                        problem.empty() ? "" : ": ", problem.c_str());
            failed += !problem.empty();
        }
    }
    std::fflush(stdout);
    return failed ? 1 : 0;
}
