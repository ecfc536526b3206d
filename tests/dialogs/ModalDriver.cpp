#include "tests/dialogs/ModalDriver.h"

namespace pwtest {

namespace {
ModalDriver* g_active = nullptr;
constexpr DWORD kEndGraceMs = 5000; // after the last step, for the showing to end by itself

bool OwnedBy(HWND hwnd, HWND owner) {
    for (HWND w = GetWindow(hwnd, GW_OWNER); w; w = GetWindow(w, GW_OWNER))
        if (w == owner)
            return true;
    return false;
}
} // namespace

ModalDriver::ModalDriver(HWND dialog) : dialog_(dialog) {}

ModalDriver::~ModalDriver() {
    Stop();
}

ModalDriver& ModalDriver::Until(std::string what, std::function<bool()> done, int timeoutMs) {
    steps_.push_back({std::move(what), std::move(done), timeoutMs});
    return *this;
}

ModalDriver& ModalDriver::Do(std::string what, std::function<void()> action) {
    return Until(std::move(what), [action = std::move(action)] {
        action();
        return true;
    });
}

ModalDriver& ModalDriver::Wait(int ms) {
    auto start = std::make_shared<DWORD>(0);
    return Until(
        "wait " + std::to_string(ms) + " ms",
        [start, ms] {
            if (!*start)
                *start = GetTickCount() | 1;
            return GetTickCount() - *start >= static_cast<DWORD>(ms);
        },
        ms + 5000);
}

void ModalDriver::Start() {
    g_active = this;
    timer_ = SetTimer(nullptr, 0, 20, OnTimer);
}

void ModalDriver::Stop() {
    if (timer_)
        KillTimer(nullptr, timer_);
    timer_ = 0;
    if (g_active == this)
        g_active = nullptr;
}

void CALLBACK ModalDriver::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (g_active)
        g_active->Tick();
}

void ModalDriver::Tick() {
    if (busy_)
        return; // a step that pumps messages itself must not be re-entered
    busy_ = true;
    if (!failure_.empty() || Finished()) {
        // Done, or given up: the showing must end now.
        if (!endingSince_)
            endingSince_ = GetTickCount() | 1;
        if (IsWindowVisible(dialog_) &&
            (!failure_.empty() || GetTickCount() - endingSince_ > kEndGraceMs)) {
            if (failure_.empty())
                failure_ = "the showing did not end after the last step";
            ForceEnd();
        }
        busy_ = false;
        return;
    }
    StepInfo& step = steps_[next_];
    if (!stepStarted_) {
        stepStarted_ = true;
        stepStart_ = GetTickCount();
    }
    if (step.done()) {
        ++next_;
        stepStarted_ = false;
    } else if (GetTickCount() - stepStart_ > static_cast<DWORD>(step.timeoutMs)) {
        failure_ = "timed out: " + step.what;
        ForceEnd();
    }
    busy_ = false;
}

void ModalDriver::ForceEnd() {
    // Owned windows first (an open folder browser), then the dialog; if that does
    // not end the showing within a few ticks, a quit message ends its loop.
    ++forceStage_;
    if (forceStage_ == 1 || forceStage_ % 25 == 0) {
        struct Ctx {
            HWND dialog;
        } ctx{dialog_};
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND hwnd, LPARAM lp) -> BOOL {
                auto* c = reinterpret_cast<Ctx*>(lp);
                if (IsWindowVisible(hwnd) && OwnedBy(hwnd, c->dialog))
                    PostMessageA(hwnd, WM_CLOSE, 0, 0);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&ctx));
        PostMessageA(dialog_, WM_CLOSE, 0, 0);
    }
    if (forceStage_ == 100 && !postedQuit_) {
        postedQuit_ = true;
        PostQuitMessage(0);
    }
}

bool DrainQuit(int* code) {
    MSG msg;
    bool found = false;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        found = true;
        if (code)
            *code = static_cast<int>(msg.wParam);
    }
    return found;
}

POINT ClientCentre(HWND hwnd) {
    RECT r;
    GetClientRect(hwnd, &r);
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(hwnd, &p);
    return p;
}

void MoveMouseTo(POINT screen) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    in.mi.dx = MulDiv(screen.x, 65536, w) + 1;
    in.mi.dy = MulDiv(screen.y, 65536, h) + 1;
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof in);
}

} // namespace pwtest
