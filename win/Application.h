#pragma once
// Process-wide application state: the main window that owns message boxes, and
// whether the program has been asked to end. (The program's name, the caption of
// every plain message and the single-instance mutex's name, is kProgramName.)

#include "win/ProgramName.h"

#include <windows.h>

#include <string>

namespace pw {

class Application {
public:
    static Application& Instance();

    HWND MainWindow() const { return mainWindow_; }
    void SetMainWindow(HWND hwnd) { mainWindow_ = hwnd; }

    // Ends the message loop as soon as it reaches the quit message.
    void Terminate();
    bool Terminated() const { return terminated_; }

    // The window that owns message boxes: the thread's active window, else the main window.
    HWND ActiveOwner() const;

private:
    HWND mainWindow_ = nullptr;
    bool terminated_ = false;
};

} // namespace pw
