// The application object: runs the main dialog once; the program ends when it closes.
#pragma once

#include "framework/App.h"

class CWardkeepApp : public fw::CWinApp {
  public:
    BOOL InitInstance() override;
};
