#include "hugepages.h"

// Large pages on Windows need a privilege ("Lock pages in memory") that users do not
// have by default, so images stay on ordinary pages there.
void placeLargeImagesOnHugePages()
{
}
