#include "highguikeys.h"

void watchKeysTypedIntoHighGui(std::function<void(int key)>)
{
}
