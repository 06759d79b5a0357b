// The MOG2 model's lanes in AVX-512 (the Skylake server set: F, BW, DQ, VL, CD), 16
// floats a vector, chosen at run time where the machine has it.
#define CV_CPU_DISPATCH_MODE AVX512_SKX
#ifndef CV_AVX512_SKX
#define CV_AVX512_SKX 1
#endif
#define MOG2_LANES_FUNCTION updateInLanesAvx512
#define MOG2_LANES_COUNT_FUNCTION lanesAvx512
#include "mog2lanes_x86.hpp"
