#include "kestrovix.h"

void Kestrovix::videoplay()
{
}
