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

// A row of the model is a run of blocks of `lanes` pixels (the last one shorter where
// the row does not divide). A vector is one value of one mode for a block's pixels, and
// a pixel's values lie a block's width apart, a mode's five values one after another,
// the strongest mode first. As many floats as OpenCV's model keeps.
struct Mog2Row
{
    int cols;
    int lanes;
    const unsigned char *pixels;  // the frame's row, BGR
    float *channel[3];            // room for it as a float plane a channel
    float *model;                 // the row's blocks
    unsigned char *modes;
    unsigned char *mask;
};

// Where a value (`field`: 0 the weight, 1 the variance, 2 to 4 the means) of a mode
// lies in its block, in widths of the block.
inline int mog2Slot(int mode, int field)
{
    return mode * mog2Fields + field;
}

// Where a value of a mode of pixel `x` lies in a row of `cols` pixels in blocks of `lanes`.
inline std::size_t mog2Offset(int cols, int lanes, int nmixtures, int x, int mode, int field)
{
    const int block = x / lanes, lane = x % lanes;
    const int width = (block + 1) * lanes <= cols ? lanes : cols % lanes;
    return std::size_t(block) * lanes * nmixtures * mog2Fields + std::size_t(mog2Slot(mode, field)) * width
        + lane;
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
