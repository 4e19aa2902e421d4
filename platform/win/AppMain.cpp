// The entry point of a program built on CWinApp: the global application
// object does the rest. Kept in its own file so that only programs that need
// a WinMain take it from the library.
#include "App.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    CWinApp* app = CWinApp::Current();
    return app ? app->Main() : 1;
}
