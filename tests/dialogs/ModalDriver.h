#pragma once
// Drives a modal showing from inside its own message loop. ShowModal blocks the
// test's thread, so the steps run from a thread timer on that same GUI thread
// (dispatched by the dialog's loop and by any loop nested in it, such as the
// folder browser's): each step is polled every 20 ms until it reports done or its
// deadline passes. A step that times out, or a showing that does not end after
// the last step, is recorded and the showing is ended by force (WM_CLOSE to the
// windows it owns and to the dialog, at last a quit message), so that a failing
// test never hangs.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pwtest {

class ModalDriver {
public:
    explicit ModalDriver(HWND dialog);
    ~ModalDriver();
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    // Polled until it returns true.
    ModalDriver& Until(std::string what, std::function<bool()> done, int timeoutMs = 5000);
    // Run once.
    ModalDriver& Do(std::string what, std::function<void()> action);
    // Lets the dialog run on for ms milliseconds (for "nothing happens" checks).
    ModalDriver& Wait(int ms);

    void Start();
    // Stops the timer; call right after ShowModal returns.
    void Stop();

    // Every step ran, in order, before the showing ended.
    bool Finished() const { return next_ == steps_.size(); }
    // Empty, or what went wrong (the step that timed out, or a showing that stayed open).
    const std::string& Failure() const { return failure_; }
    // True when the driver had to post a quit message to end the showing; the
    // caller's queue then holds it (DrainQuit removes it).
    bool PostedQuit() const { return postedQuit_; }

private:
    struct StepInfo {
        std::string what;
        std::function<bool()> done;
        int timeoutMs;
    };
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    void Tick();
    void ForceEnd();

    HWND dialog_;
    std::vector<StepInfo> steps_;
    size_t next_ = 0;
    DWORD stepStart_ = 0;
    bool stepStarted_ = false;
    DWORD endingSince_ = 0;
    int forceStage_ = 0;
    bool busy_ = false;
    bool postedQuit_ = false;
    UINT_PTR timer_ = 0;
    std::string failure_;
};

// Removes a WM_QUIT waiting in this thread's queue; returns whether there was one
// and its exit code in code.
bool DrainQuit(int* code = nullptr);

// The centre of a window's client area in screen coordinates.
POINT ClientCentre(HWND hwnd);
// Moves the mouse pointer (a real input event) to a point of the screen.
void MoveMouseTo(POINT screen);

} // namespace pwtest
