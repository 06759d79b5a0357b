// What the x86 lanes files share: OpenCV's headers give a program outside OpenCV's own
// build the baseline only; saying that AVX and AVX2 are there (and, where the including
// file says so, AVX-512) gives them the wider lanes. The including file names its
// CV_CPU_DISPATCH_MODE, so that they go into a namespace of their own, as in OpenCV's
// dispatched files: the baseline file's inline functions of the same names must not be
// replaced by these at link time.
#ifndef CV_AVX
#define CV_AVX 1
#endif
#ifndef CV_AVX2
#define CV_AVX2 1
#endif
#include <immintrin.h>
#include "mog2lanes.hpp"
