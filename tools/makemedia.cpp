// Writes the program's media into a directory: "bike.avi" with its ground truth,
// "video3.mp4" with its ground truth, and "background.MP3".
//
//   makemedia <output-directory> [WIDTHxHEIGHT]
//
// Everything is synthesized from fixed seeds, so every run gives the same frames
// and the same sound. With a size, only the two videos are written, at that size:
// the same scene spread over the larger picture, its objects as big as before
// (for measuring at the sizes users watch).

#include <lame/lame.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

const double kPi = 3.14159265358979323846;

// A muted, blotchy ground with fine grain, like grass and gravel seen from above.
cv::Mat makeTexturedBackground(cv::Size size, uint64_t seed)
{
    cv::RNG rng(seed);
    cv::Mat coarse(size.height / 16 + 2, size.width / 16 + 2, CV_8UC3);
    rng.fill(coarse, cv::RNG::UNIFORM, cv::Scalar(60, 80, 70), cv::Scalar(110, 140, 120));
    cv::Mat background;
    cv::resize(coarse, background, size, 0, 0, cv::INTER_CUBIC);

    cv::Mat grain(size, CV_16SC3);
    rng.fill(grain, cv::RNG::NORMAL, cv::Scalar::all(0), cv::Scalar::all(14));
    cv::GaussianBlur(grain, grain, cv::Size(3, 3), 0.8);
    cv::Mat background16;
    background.convertTo(background16, CV_16SC3);
    background16 += grain;
    background16.convertTo(background, CV_8UC3);
    return background;
}

void addSensorNoise(cv::Mat &frame, cv::RNG &rng)
{
    cv::Mat noise(frame.size(), CV_16SC3);
    rng.fill(noise, cv::RNG::NORMAL, cv::Scalar::all(0), cv::Scalar::all(2));
    cv::Mat frame16;
    frame.convertTo(frame16, CV_16SC3);
    frame16 += noise;
    frame16.convertTo(frame, CV_8UC3);
}

// ---------------------------------------------------------------------------
// bike.avi: objects of three sizes cross the picture in their own lanes. Only
// the middle-sized ones end up with a hull area between 500 and 1000 pixels
// after background subtraction and the clean-up, which grows a blob by about
// three pixels on every side.

struct Mover
{
    const char *name;
    cv::Size size;
    int laneY;          // centre line
    int speed;          // pixels per frame, negative for right to left
    int firstFrame;     // enters the picture then
    int period;         // frames between two entries
    cv::Scalar colour;
    bool ellipse;
    bool expectBox;
};

const std::vector<Mover> &bikeMovers()
{
    static const std::vector<Mover> movers = {
        {"pebble", {9, 9}, 30, 5, 10, 80, cv::Scalar(40, 40, 230), false, false},
        {"cyclist", {20, 20}, 85, 8, 14, 70, cv::Scalar(230, 60, 30), false, true},
        {"bus", {44, 34}, 140, -12, 30, 75, cv::Scalar(20, 220, 240), false, false},
        {"rider", {26, 18}, 195, -7, 22, 90, cv::Scalar(200, 40, 200), true, true},
    };
    return movers;
}

// Left edge of the mover in the given frame, or nothing while it waits off screen.
bool moverRect(const Mover &mover, int frameIndex, cv::Size size, cv::Rect &rect)
{
    const int width = size.width;
    // Lanes and speeds follow the picture's size; 320 x 240 is the committed one.
    const int laneY = mover.laneY * size.height / 240;
    const int speed = mover.speed * width / 320;
    if (frameIndex < mover.firstFrame)
        return false;
    const int t = (frameIndex - mover.firstFrame) % mover.period;
    const int travel = t * std::abs(speed);
    const int startX = -mover.size.width;
    if (travel > width + mover.size.width)
        return false;
    int x = startX + travel;
    if (speed < 0)
        x = width - travel;
    rect = cv::Rect(x, laneY - mover.size.height / 2, mover.size.width, mover.size.height);
    return true;
}

bool writeBike(const std::string &directory, cv::Size size)
{
    const int frameCount = 240;
    const int warmUpFrames = 5;
    const cv::Mat background = makeTexturedBackground(size, 0xb1e);

    cv::VideoWriter writer(directory + "/bike.avi", cv::CAP_FFMPEG,
                           cv::VideoWriter::fourcc('X', 'V', 'I', 'D'), 25.0, size);
    if (!writer.isOpened()) {
        std::cerr << "makemedia: cannot write " << directory << "/bike.avi\n";
        return false;
    }
    std::ofstream truth(directory + "/bike.truth.csv");
    truth << "# frame,object,x,y,width,height,expected\n"
             "# expected: 1 must be boxed, 0 must not be boxed, -1 not judged "
             "(partly outside the picture, or the background is still being learnt)\n";

    cv::RNG noise(0x5e45);
    const cv::Rect picture(cv::Point(0, 0), size);
    for (int i = 0; i < frameCount; ++i) {
        cv::Mat frame = background.clone();
        for (const Mover &mover : bikeMovers()) {
            cv::Rect rect;
            if (!moverRect(mover, i, size, rect))
                continue;
            if (mover.ellipse) {
                const cv::Point centre(rect.x + rect.width / 2, rect.y + rect.height / 2);
                cv::ellipse(frame, centre, cv::Size(rect.width / 2, rect.height / 2), 0, 0, 360,
                            mover.colour, cv::FILLED, cv::LINE_AA);
            } else {
                cv::rectangle(frame, rect, mover.colour, cv::FILLED);
            }
            const bool inside = (rect & picture) == rect && rect.x >= 4
                                && rect.br().x <= size.width - 4;
            const int expected = (!inside || i < warmUpFrames) ? -1 : (mover.expectBox ? 1 : 0);
            truth << i << ',' << mover.name << ',' << rect.x << ',' << rect.y << ','
                  << rect.width << ',' << rect.height << ',' << expected << '\n';
        }
        addSensorNoise(frame, noise);
        writer.write(frame);
    }
    return true;
}

// ---------------------------------------------------------------------------
// video3.mp4: a patterned target drifts along a smooth closed path; a second,
// differently patterned object wanders elsewhere as a distractor.

cv::Mat makeTargetPatch(cv::Size size)
{
    cv::Mat patch(size, CV_8UC3, cv::Scalar(30, 140, 250));
    for (int y = 0; y < size.height; y += 6)
        for (int x = (y / 6) % 2 * 6; x < size.width; x += 12)
            cv::rectangle(patch, cv::Rect(x, y, 6, 6), cv::Scalar(245, 245, 245), cv::FILLED);
    cv::circle(patch, cv::Point(size.width / 2, size.height / 2), size.width / 5,
               cv::Scalar(20, 20, 120), cv::FILLED);
    return patch;
}

cv::Mat makeDistractorPatch(cv::Size size)
{
    cv::Mat patch(size, CV_8UC3, cv::Scalar(200, 90, 20));
    for (int x = 0; x < size.width; x += 8)
        cv::rectangle(patch, cv::Rect(x, 0, 4, size.height), cv::Scalar(60, 220, 60), cv::FILLED);
    return patch;
}

// Paths drawn for 320 x 240 and stretched to the picture's size.
cv::Point2d targetCentre(int frameIndex, cv::Size size)
{
    const double t = frameIndex;
    return {(160 + 95 * std::sin(2 * kPi * t / 240.0)) * (size.width / 320.0),
            (150 + 55 * std::sin(2 * kPi * t / 161.0 + 0.6)) * (size.height / 240.0)};
}

cv::Point2d distractorCentre(int frameIndex, cv::Size size)
{
    const double t = frameIndex;
    return {(160 + 120 * std::cos(2 * kPi * t / 300.0)) * (size.width / 320.0),
            (40 + 14 * std::sin(2 * kPi * t / 90.0)) * (size.height / 240.0)};
}

bool writeVideo3(const std::string &directory, cv::Size size)
{
    const int frameCount = 484;
    const cv::Mat background = makeTexturedBackground(size, 0x71de0);
    const cv::Mat target = makeTargetPatch(cv::Size(36, 36));
    const cv::Mat distractor = makeDistractorPatch(cv::Size(40, 28));

    cv::VideoWriter writer(directory + "/video3.mp4", cv::CAP_FFMPEG,
                           cv::VideoWriter::fourcc('m', 'p', '4', 'v'), 25.0, size);
    if (!writer.isOpened()) {
        std::cerr << "makemedia: cannot write " << directory << "/video3.mp4\n";
        return false;
    }
    std::ofstream truth(directory + "/video3.truth.csv");
    truth << "# frame,x,y,width,height of the target\n";

    cv::RNG noise(0x3a3);
    for (int i = 0; i < frameCount; ++i) {
        cv::Mat frame = background.clone();
        const cv::Point2d d = distractorCentre(i, size);
        const cv::Rect distractorRect(cvRound(d.x) - distractor.cols / 2, cvRound(d.y) - distractor.rows / 2,
                                      distractor.cols, distractor.rows);
        distractor.copyTo(frame(distractorRect));
        const cv::Point2d c = targetCentre(i, size);
        const cv::Rect targetRect(cvRound(c.x) - target.cols / 2, cvRound(c.y) - target.rows / 2,
                                  target.cols, target.rows);
        target.copyTo(frame(targetRect));
        addSensorNoise(frame, noise);
        writer.write(frame);
        truth << i << ',' << targetRect.x << ',' << targetRect.y << ',' << targetRect.width << ','
              << targetRect.height << '\n';
    }
    return true;
}

// ---------------------------------------------------------------------------
// background.MP3: a calm pentatonic tune over a soft bass, about 16 seconds.

std::vector<short> synthesizeTune(int sampleRate)
{
    // Semitones above A3 (220 Hz); -100 is a rest. Two bars a line, eighth notes.
    const int melody[] = {
        3, 7, 10, 15, 14, 10, 7, 10,   5, 10, 12, 17, 15, 12, 10, 7,
        3, 7, 10, 15, 17, 15, 14, 10,  12, 10, 7, 5, 3, -100, 3, -100,
        15, 14, 10, 7, 10, 12, 15, 19, 17, 15, 12, 10, 12, 15, 17, 15,
        10, 12, 15, 14, 10, 7, 5, 7,   3, 7, 10, 3, 3, -100, -100, -100,
    };
    const int bass[] = {-9, -4, -2, -9, -9, -4, -2, -9};
    const double beat = 0.25; // seconds per eighth note
    const int noteCount = static_cast<int>(sizeof(melody) / sizeof(melody[0]));
    const int total = static_cast<int>(noteCount * beat * sampleRate) + sampleRate;
    std::vector<double> mix(total, 0.0);

    auto addNote = [&](double start, double length, double frequency, double loudness, double brightness) {
        const int first = static_cast<int>(start * sampleRate);
        const int count = static_cast<int>(length * sampleRate);
        for (int n = 0; n < count && first + n < total; ++n) {
            const double t = static_cast<double>(n) / sampleRate;
            const double attack = std::min(1.0, t / 0.01);
            const double envelope = attack * std::exp(-3.0 * t / length);
            const double phase = 2 * kPi * frequency * t;
            const double tone = std::sin(phase) + brightness * std::sin(2 * phase) / 2
                                + brightness * std::sin(3 * phase) / 5;
            mix[first + n] += loudness * envelope * tone;
        }
    };
    auto frequencyOf = [](int semitones) { return 220.0 * std::pow(2.0, semitones / 12.0); };

    for (int i = 0; i < noteCount; ++i)
        if (melody[i] > -100)
            addNote(i * beat, beat * 1.8, frequencyOf(melody[i]), 0.30, 0.5);
    for (int bar = 0; bar * 8 < noteCount; ++bar)
        addNote(bar * 8 * beat, 8 * beat, frequencyOf(bass[bar % 8] - 12), 0.25, 0.2);

    std::vector<short> samples(total);
    for (int n = 0; n < total; ++n) {
        const double fade = std::min(1.0, static_cast<double>(total - n) / sampleRate);
        samples[n] = static_cast<short>(std::lround(std::clamp(mix[n] * fade, -1.0, 1.0) * 22000));
    }
    return samples;
}

bool writeMp3(const std::string &directory)
{
    const int sampleRate = 44100;
    std::vector<short> samples = synthesizeTune(sampleRate);

    lame_global_flags *lame = lame_init();
    lame_set_in_samplerate(lame, sampleRate);
    lame_set_num_channels(lame, 1);
    lame_set_mode(lame, MONO);
    lame_set_brate(lame, 96);
    lame_set_quality(lame, 2);
    lame_set_bWriteVbrTag(lame, 0);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        std::cerr << "makemedia: the MP3 encoder refused its settings\n";
        return false;
    }
    std::vector<unsigned char> mp3(samples.size() * 5 / 4 + 7200);
    int written = lame_encode_buffer(lame, samples.data(), nullptr, static_cast<int>(samples.size()),
                                     mp3.data(), static_cast<int>(mp3.size()));
    if (written >= 0)
        written += lame_encode_flush(lame, mp3.data() + written, static_cast<int>(mp3.size()) - written);
    lame_close(lame);
    if (written < 0) {
        std::cerr << "makemedia: MP3 encoding failed\n";
        return false;
    }
    std::ofstream out(directory + "/background.MP3", std::ios::binary);
    out.write(reinterpret_cast<const char *>(mp3.data()), written);
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char *argv[])
{
    cv::Size size(320, 240);
    if (argc < 2 || argc > 3
        || (argc == 3 && (std::sscanf(argv[2], "%dx%d", &size.width, &size.height) != 2
                          || size.width < 320 || size.height < 240))) {
        std::cerr << "usage: makemedia <output-directory> [WIDTHxHEIGHT, at least 320x240]\n";
        return 2;
    }
    const std::string directory = argv[1];
    cv::setNumThreads(1);
    const bool ok = writeBike(directory, size) && writeVideo3(directory, size) && (argc == 3 || writeMp3(directory));
    return ok ? 0 : 1;
}
