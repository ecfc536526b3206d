#pragma once
// A tab page: a container over the tab control's display area (WS_EX_CONTROLPARENT,
// so that Tab moves through its controls) that hands its controls' notifications
// colour and menu requests to the window that holds the tabs.

#include "win/Window.h"

namespace pw {

class TabPage : public Window {
public:
    // A hidden child of window with the control id given.
    TabPage(HWND window, int id);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    HWND window_;
};

} // namespace pw
