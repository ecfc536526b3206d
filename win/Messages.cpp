#include "win/Messages.h"

#include "win/Application.h"
#include "win/Dpi.h"
#include "win/ErrorText.h"
#include "win/Scoped.h"
#include "win/Text.h"

#include <algorithm>
#include <vector>

namespace pw {
namespace {

struct PlainMessageState {
    TextWithPathWithin text;
    UniqueFont font;
    HWND* shownBox = nullptr;
};

constexpr int kMargin = 12;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kMinTextWidth = 120;
// Longer than any path: the text as it is.
constexpr std::size_t kWholePathUnits = 32767;

void LayOutPlainMessage(HWND dlg, PlainMessageState& state) {
    const UINT dpi = DpiOf(dlg);
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof ncm;
    if (SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0, dpi))
        state.font.Reset(CreateFontIndirectW(&ncm.lfMessageFont));
    if (!state.font)
        state.font.Reset(CreateSystemUiFont(-11, dpi));

    const PointerScreen screen = ScreenOfPointer();
    const RECT& work = screen.workArea;
    const int workW = work.right - work.left, workH = work.bottom - work.top;
    const int margin = Scale(kMargin, dpi);
    const int buttonW = Scale(kButtonWidth, dpi);
    const int buttonH = Scale(kButtonHeight, dpi);
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(dlg, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(dlg, GWL_EXSTYLE));
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectExForDpi(&frame, style, FALSE, exStyle, dpi);
    const int frameW = frame.right - frame.left, frameH = frame.bottom - frame.top;

    const int maxTextW = std::max(workW / 2 - 2 * margin, Scale(kMinTextWidth, dpi));
    // The text may take what the work area leaves beside the frame, the margins and the button.
    const int maxTextH = std::max(workH - frameH - 3 * margin - buttonH, 1);
    // DT_EDITCONTROL breaks a word longer than a line (a long path), as the static does.
    auto measure = [&](const std::wstring& text) {
        return MeasureText(dlg, state.font.Get(), text,
                           DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_EXPANDTABS, maxTextW);
    };
    std::wstring shown = Wide(state.text(kWholePathUnits));
    RECT text = measure(shown);
    if (text.bottom > maxTextH) {
        const std::size_t units = LongestThatFits(kWholePathUnits, [&](std::size_t n) {
            return measure(Wide(state.text(n))).bottom <= maxTextH;
        });
        shown = Wide(state.text(units));
        text = measure(shown);
    }
    const int textW = std::clamp<int>(text.right, Scale(kMinTextWidth, dpi), maxTextW);
    const int textH = std::clamp<int>(text.bottom, 1, maxTextH);

    const int clientW = std::max(textW, buttonW) + 2 * margin;
    const int clientH = margin + textH + margin + buttonH + margin;
    const int w = std::min(clientW + frameW, workW), h = std::min(clientH + frameH, workH);
    SetWindowPos(dlg, nullptr, work.left + (workW - w) / 2, work.top + (workH - h) / 2, w, h,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    HINSTANCE inst = GetModuleHandleW(nullptr);
    HWND label = CreateWindowExW(
        0, L"STATIC", shown.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL,
        margin, margin, textW, textH, dlg,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kMessageTextId)), inst, nullptr);
    HWND ok =
        CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                        (clientW - buttonW) / 2, margin + textH + margin, buttonW, buttonH, dlg,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), inst, nullptr);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(state.font.Get()), FALSE);
    SendMessageW(ok, WM_SETFONT, reinterpret_cast<WPARAM>(state.font.Get()), FALSE);
    SetWindowTextW(dlg, Wide(kProgramName).c_str());
    SetFocus(ok);
}

INT_PTR CALLBACK PlainMessageProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG: {
        auto* state = reinterpret_cast<PlainMessageState*>(lParam);
        SetWindowLongPtrW(dlg, DWLP_USER, lParam);
        LayOutPlainMessage(dlg, *state);
        if (state->shownBox)
            *state->shownBox = dlg;
        SetForegroundWindow(dlg);
        return FALSE; // the focus is set
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dlg, IDOK);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace

void PlainMessage(const std::string& text, HWND* shownBox) {
    PlainMessage([&text](std::size_t) { return text; }, shownBox);
}

void PlainMessage(const TextWithPathWithin& textFor, HWND* shownBox) {
    // An empty in-memory template: the dialog lays itself out once it knows its DPI.
    alignas(4) WORD tmpl[16] = {};
    auto* dt = reinterpret_cast<DLGTEMPLATE*>(tmpl);
    dt->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    dt->cx = 100;
    dt->cy = 50;
    PlainMessageState state{textFor, {}, shownBox};
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dt, Application::Instance().ActiveOwner(),
                            PlainMessageProc, reinterpret_cast<LPARAM>(&state));
    if (shownBox)
        *shownBox = nullptr;
}

int QuestionBox(const std::string& text, const std::string& caption) {
    return MessageBoxW(Application::Instance().ActiveOwner(), Wide(text).c_str(),
                       Wide(caption).c_str(), MB_YESNO);
}

namespace {
thread_local HHOOK t_topmostHook = nullptr;

LRESULT CALLBACK MakeTopmost(int code, WPARAM wParam, LPARAM lParam) {
    HHOOK hook = t_topmostHook;
    if (code == HCBT_ACTIVATE) {
        SetWindowPos(reinterpret_cast<HWND>(wParam), HWND_TOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        UnhookWindowsHookEx(hook);
        t_topmostHook = nullptr;
    }
    return CallNextHookEx(hook, code, wParam, lParam);
}
} // namespace

int TopmostMessageBox(const std::string& text, const std::string& caption, UINT flags) {
    // The box's own activation is the first on this thread after the hook is set.
    t_topmostHook = SetWindowsHookExW(WH_CBT, MakeTopmost, nullptr, GetCurrentThreadId());
    const int answer =
        MessageBoxW(nullptr, Wide(text).c_str(), Wide(caption).c_str(), flags | MB_TOPMOST);
    if (t_topmostHook) {
        UnhookWindowsHookEx(t_topmostHook);
        t_topmostHook = nullptr;
    }
    return answer;
}

void ReportError(const std::string& text) {
    MessageBoxW(Application::Instance().ActiveOwner(), Wide(WithFullStop(text)).c_str(),
                Wide(kProgramName).c_str(), MB_OK | MB_ICONERROR);
}

} // namespace pw
