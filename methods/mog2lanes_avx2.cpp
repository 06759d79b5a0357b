// The MOG2 model's lanes in AVX2, compiled with -mavx2 and chosen at run time where
// the machine has it.
#define CV_CPU_DISPATCH_MODE AVX2
#define MOG2_LANES_FUNCTION updateInLanesAvx2
#define MOG2_LANES_COUNT_FUNCTION lanesAvx2
#include "mog2lanes_x86.hpp"
