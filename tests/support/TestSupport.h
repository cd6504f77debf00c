#pragma once

// Helpers shared by the tests. Windows-only helpers are declared in
// support/*.Win32.h and defined in support/*.Win32.cpp.
