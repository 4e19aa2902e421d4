// CManagerApp: the manager's application object. It loads the Korean
// resource library when present, lets only one copy run, and runs the main
// dialog modally; the program lives as long as that dialog.
#pragma once

#include "App.h"

class CManagerApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
