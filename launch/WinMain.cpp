#include "Launcher.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    return Launch::RunLauncher(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
