#include "CommandLine.h"

namespace Launch
{
namespace
{
bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}
} // namespace

const char* SkipProgramName(const char* szCommandLine)
{
    if (!szCommandLine)
        return nullptr;
    const char* p = szCommandLine;
    if (*p == '"')
    {
        ++p;
        while (*p && *p != '"')
            ++p;
        if (*p == '"')
            ++p;
    }
    else
    {
        while (*p && !IsBlank(*p))
            ++p;
    }
    while (IsBlank(*p))
        ++p;
    return p;
}
} // namespace Launch
