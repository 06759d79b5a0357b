// The MOG2 model's lanes in the instruction set every machine of the platform has:
// SSE2 on x86-64, NEON on 64-bit ARM.
#define MOG2_LANES_FUNCTION updateInLanesBaseline
#define MOG2_LANES_COUNT_FUNCTION lanesBaseline
#include "mog2lanes.hpp"
