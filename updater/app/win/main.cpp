// QvUpdaterApp.exe: the application object; WinMain comes from the window
// layer and runs its InitInstance.
#include "UpdaterApp.h"

CUpdaterApp theApp;
