#include "CommandLine.h"
#include "Launcher.h"

// The runtime's lpCmdLine loses bytes of 0x80 and above after the program
// name (it compares them as signed characters); the process's own command
// line keeps them.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR, int nCmdShow)
{
    return Launch::RunLauncher(hInstance, hPrevInstance, Launch::SkipProgramName(GetCommandLineA()), nCmdShow);
}
