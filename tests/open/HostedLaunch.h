#pragma once
// A folder launcher whose ends a message-only window hands on, as the program's does.

#include "open/FolderLaunch.h"
#include "win/AppMessages.h"
#include "win/Window.h"

namespace pwtest {

class LaunchResultWindow : public pw::Window {
public:
    LaunchResultWindow() {
        RegisterWindowClass("PathwinkLaunchTestWindow");
        Create(0, "PathwinkLaunchTestWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE);
    }
    using pw::Window::Handle;

protected:
    pw::FolderLaunch* served_ = nullptr;
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == pw::kLaunchDoneMessage && served_) {
            served_->OnLaunchDone(wParam);
            return 0;
        }
        return pw::Window::HandleMessage(msg, wParam, lParam);
    }
};

class HostedLaunch : public LaunchResultWindow, public pw::FolderLaunch {
public:
    explicit HostedLaunch(pw::FolderShell shell = pw::FolderShell())
        : pw::FolderLaunch(LaunchResultWindow::Handle(), std::move(shell)) {
        served_ = this;
    }
};

} // namespace pwtest
