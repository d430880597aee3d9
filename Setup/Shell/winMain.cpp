#include "Setup/Shell/setupApp.hpp"

#include <windows.h>

// The one application object, built before the entry point runs.
CQorSetupApp theApp;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return theApp.Run(instance); }
