// Module entry of the Windows DLL: never refuses a load and has nothing to
// set up or tear down.
#include "plugin/platform.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
