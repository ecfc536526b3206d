#include "win/Application.h"

namespace pw {

Application& Application::Instance() {
    static Application app;
    return app;
}

void Application::Terminate() {
    terminated_ = true;
    PostQuitMessage(0);
}

HWND Application::ActiveOwner() const {
    HWND active = GetActiveWindow();
    return active ? active : mainWindow_;
}

} // namespace pw
