// A program that runs for the number of milliseconds given as its argument.
#include "SharedUtil.Windows.h"

#include <cstdlib>

int main(int iArgCount, char** ppArgs)
{
    if (iArgCount < 2)
        return 2;
    Sleep(static_cast<DWORD>(std::strtoul(ppArgs[1], nullptr, 10)));
    return 0;
}
