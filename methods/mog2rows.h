#ifndef MOG2ROWS_H
#define MOG2ROWS_H

#include <cstddef>

// What the MOG2 model's vector code and the rest of it share: one frame's parameters,
// and one row of the frame and of the model.

constexpr int mog2MaxModes = 8;
// A mode's values: weight, variance and the mean of each of three channels.
constexpr int mog2Fields = 5;

struct Mog2Step
{
    float alphaT;  // the learning rate
    float alpha1;  // 1 − alphaT
    float prune;   // −alphaT × the complexity reduction threshold, in double first
    float Tb;      // the variance threshold
    float TB;      // the background ratio
    float Tg;      // the variance threshold for a new mode
    float varInit;
    float varMin;
    float varMax;
    int nmixtures;
};

// The model is a plane for each mode, the strongest first, and a plane's rows are runs
// of blocks of `lanes` pixels (the last one shorter where the row does not divide). A
// vector is one value of one mode for a block's pixels, and a pixel's five values lie a
// block's width apart. A frame's step reads the strongest mode of nearly every pixel and
// the others seldom: in planes, what it reads lies together, and memory streams it at
// full speed. As many floats as OpenCV's model keeps.
struct Mog2Row
{
    int cols;
    int lanes;
    const unsigned char *pixels;  // the frame's row, BGR
    float *channel[3];            // room for it as a float plane a channel
    float *model;                 // the row's blocks in the first mode's plane
    std::size_t modeStride;       // the floats from one mode's plane to the next
    unsigned char *modes;
    unsigned char *mask;
};

// Where a value (`field`: 0 the weight, 1 the variance, 2 to 4 the means) of a mode of
// pixel `x` lies from the start of its row in the first plane, for a row of `cols` pixels
// in blocks of `lanes`.
inline std::size_t mog2Offset(int cols, int lanes, std::size_t modeStride, int x, int mode, int field)
{
    const int block = x / lanes, lane = x % lanes;
    const int width = (block + 1) * lanes <= cols ? lanes : cols % lanes;
    return mode * modeStride + std::size_t(block) * lanes * mog2Fields + std::size_t(field) * width + lane;
}

// Converts the row's pixels to the float planes, and updates its full blocks; returns
// where the pixels of a shorter last block begin. In the widest lanes each platform's
// baseline has, SSE2 or NEON, and in AVX2's and AVX-512's.
int updateInLanesBaseline(const Mog2Row &row, const Mog2Step &step);
int lanesBaseline();
#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__)
int updateInLanesAvx2(const Mog2Row &row, const Mog2Step &step);
int lanesAvx2();
int updateInLanesAvx512(const Mog2Row &row, const Mog2Step &step);
int lanesAvx512();
#endif

#endif // MOG2ROWS_H
