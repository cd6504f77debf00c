#pragma once

namespace Launch
{
// The arguments of a process command line: what follows the program name,
// by the system's rules (a quoted name ends at its closing quote, an unquoted
// one at the first blank or tab), with the blanks and tabs after it skipped.
// Every other byte is kept as it is. Returns a pointer into the same text;
// null stays null.
const char* SkipProgramName(const char* szCommandLine);
} // namespace Launch
