#include "parentconsole.h"

void useParentConsole()
{
}
