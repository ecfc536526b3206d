#pragma once
// Process-wide application state: the title (caption of every plain message and
// error report, name of the single-instance mutex), the main window that owns
// message boxes, and whether the program has been asked to end.

#include "win/ProgramName.h"

#include <windows.h>

#include <string>

namespace pw {

class Application {
public:
    static Application& Instance();

    const std::string& Title() const { return title_; }
    void SetTitle(std::string title) { title_ = std::move(title); }

    HWND MainWindow() const { return mainWindow_; }
    void SetMainWindow(HWND hwnd) { mainWindow_ = hwnd; }

    // Ends the message loop as soon as it reaches the quit message.
    void Terminate();
    bool Terminated() const { return terminated_; }

    // The window that owns message boxes: the thread's active window, else the main window.
    HWND ActiveOwner() const;

private:
    std::string title_ = kProgramName;
    HWND mainWindow_ = nullptr;
    bool terminated_ = false;
};

} // namespace pw
