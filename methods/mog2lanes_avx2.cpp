// The MOG2 model's lanes in AVX2, compiled with -mavx2 and chosen at run time where
// the machine has it. OpenCV's headers give a program outside OpenCV's own build the
// baseline only; saying that AVX2 is there gives it the 256-bit lanes. They go into a
// namespace of their own, as in OpenCV's dispatched files: the baseline file's inline
// functions of the same names must not be replaced by these at link time.
#define CV_CPU_DISPATCH_MODE AVX2
#ifndef CV_AVX
#define CV_AVX 1
#endif
#ifndef CV_AVX2
#define CV_AVX2 1
#endif
#include <immintrin.h>
#define MOG2_LANES_FUNCTION updateInLanesAvx2
#define MOG2_LANES_COUNT_FUNCTION lanesAvx2
#include "mog2lanes.hpp"
