#include "open/PlaceFolder.h"

#include "win/Scoped.h"
#include "win/Text.h"

#include <exdisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <unordered_map>

namespace pw {

namespace {

using UniqueIdList = UniqueCoTaskMem<std::remove_pointer_t<PIDLIST_ABSOLUTE>>;

// Beyond this many descendants a window is no dialog or Explorer window worth reading.
constexpr std::size_t kMaxChildren = 4000;

std::string ClassNameOf(HWND window) {
    wchar_t name[256] = L"";
    const int length = GetClassNameW(window, name, 256);
    return Utf8(std::wstring_view(name, std::max(length, 0)));
}

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_ERRORONEXIT,
                               kAnswerWaitMs, result) != 0;
}

HWND AsWindow(std::uintptr_t handle) {
    return reinterpret_cast<HWND>(handle);
}

// Runs work on a thread of its own, in a COM apartment of that thread, and waits for
// it at most timeoutMs. False when it failed or did not end in time; it then ends on
// its own, and what it found is dropped.
bool RunBounded(std::function<bool()> work, DWORD timeoutMs) {
    struct Shared {
        std::function<bool()> work;
        std::atomic<bool> succeeded{false};
    };
    auto shared = std::make_shared<Shared>();
    shared->work = std::move(work);
    auto threadsShare = std::make_unique<std::shared_ptr<Shared>>(shared);
    const auto run = [](void* parameter) -> DWORD {
        const std::unique_ptr<std::shared_ptr<Shared>> held(
            static_cast<std::shared_ptr<Shared>*>(parameter));
        const ScopedCom com;
        try {
            (*held)->succeeded = (*held)->work();
        } catch (...) {
        }
        return 0;
    };
    UniqueKernelHandle thread(CreateThread(nullptr, 0, run, threadsShare.get(), 0, nullptr));
    if (!thread)
        return false;
    threadsShare.release();
    return WaitForSingleObject(thread.Get(), timeoutMs) == WAIT_OBJECT_0 && shared->succeeded;
}

ComPtr<IShellWindows> ShellWindows() {
    ComPtr<IShellWindows> windows;
    CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_IShellWindows, windows.PutVoid());
    return windows;
}

// FindWindowSW takes the folder as the bytes of its item id list.
HWND FindWindowShowing(IShellWindows& windows, PCIDLIST_ABSOLUTE folder) {
    VARIANT location;
    VariantInit(&location);
    const UINT size = ILGetSize(folder);
    location.parray = SafeArrayCreateVector(VT_UI1, 0, size);
    if (!location.parray)
        return nullptr;
    location.vt = VT_ARRAY | VT_UI1;
    std::memcpy(location.parray->pvData, folder, size);
    VARIANT root;
    VariantInit(&root);
    long handle = 0;
    ComPtr<IDispatch> dispatch;
    const HRESULT hr =
        windows.FindWindowSW(&location, &root, SWC_EXPLORER, &handle, 0, dispatch.Put());
    VariantClear(&location);
    return hr == S_OK ? reinterpret_cast<HWND>(static_cast<LONG_PTR>(handle)) : nullptr;
}

// The window's browser has that folder in view.
bool Shows(IShellBrowser& browser, PCIDLIST_ABSOLUTE folder) {
    ComPtr<IShellView> view;
    if (FAILED(browser.QueryActiveShellView(view.Put())))
        return false;
    ComPtr<IFolderView> folderView = view.As<IFolderView>();
    ComPtr<IPersistFolder2> shown;
    if (!folderView || FAILED(folderView->GetFolder(IID_IPersistFolder2, shown.PutVoid())))
        return false;
    UniqueIdList current;
    PIDLIST_ABSOLUTE id = nullptr;
    if (FAILED(shown->GetCurFolder(&id)))
        return false;
    current.Reset(id);
    return ILIsEqual(current.Get(), folder) != FALSE;
}

// The way Windows documents for its Explorer: the window's browser among the shell's
// windows browses to the folder in place, so Back leads to where it was. On Windows
// 11 a window has a browser per tab: the one of the active tab, whose window comes
// first among the tabs; a browser that names no tab of its own is the window's only one.
bool BrowseInShellWindow(HWND explorer, PCIDLIST_ABSOLUTE folder) {
    ComPtr<IShellWindows> windows = ShellWindows();
    long count = 0;
    if (!windows || FAILED(windows->get_Count(&count))) // Wine's list cannot be read
        return false;
    const HWND activeTab = FindWindowExW(explorer, nullptr, L"ShellTabWindowClass", nullptr);
    ComPtr<IShellBrowser> chosen, windowsOnly;
    for (long i = 0; i < count && !chosen; ++i) {
        VARIANT index;
        VariantInit(&index);
        index.vt = VT_I4;
        index.lVal = i;
        ComPtr<IDispatch> item;
        if (windows->Item(index, item.Put()) != S_OK || !item)
            continue;
        ComPtr<IWebBrowser2> webBrowser = item.As<IWebBrowser2>();
        SHANDLE_PTR handle = 0;
        if (!webBrowser || FAILED(webBrowser->get_HWND(&handle)) ||
            reinterpret_cast<HWND>(handle) != explorer)
            continue;
        ComPtr<IServiceProvider> services = webBrowser.As<IServiceProvider>();
        ComPtr<IShellBrowser> browser;
        if (!services || FAILED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                                       browser.PutVoid())))
            continue;
        HWND tab = nullptr;
        if (FAILED(browser->GetWindow(&tab)))
            continue;
        if (tab == activeTab)
            chosen = std::move(browser);
        else if (tab == explorer && !windowsOnly)
            windowsOnly = std::move(browser);
    }
    if (!chosen)
        chosen = std::move(windowsOnly);
    if (!chosen)
        return false;
    return Shows(*chosen, folder) ||
           SUCCEEDED(chosen->BrowseObject(folder, SBSP_SAMEBROWSER | SBSP_ABSOLUTE));
}

// Wine's Explorer, whose window list the shell cannot give: its Location box
// navigates on Enter, as when the user types there, before the Enter's message
// returns. (Whether the window already shows the folder cannot be asked: Wine's
// list keeps a window's first folder after it has moved on.)
bool BrowseByLocationBox(HWND locationBox, const std::wstring& path) {
    DWORD_PTR result = 0;
    return Send(locationBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), &result) &&
           result && Send(locationBox, WM_KEYDOWN, VK_RETURN, 0, &result);
}

void BringForward(HWND window) {
    // Asynchronous forms: a window that does not answer holds nothing up.
    if (IsIconic(window))
        ShowWindowAsync(window, SW_RESTORE);
    // Without a window manager (Wine on a bare display) the foreground window is not
    // raised on its own.
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_ASYNCWINDOWPOS);
    SetForegroundWindow(window);
}

// A file dialog of another program, through bounded messages.
class DialogInFront : public FileDialogParts {
public:
    DialogInFront(HWND dialog, HWND nameBox, HWND okButton)
        : dialog_(dialog), nameBox_(nameBox), okButton_(okButton),
          thread_(GetWindowThreadProcessId(dialog, nullptr)) {
        focus_ = FocusOfThread();
    }

    std::optional<std::string> ReadName() override {
        DWORD_PTR length = 0;
        if (!Send(nameBox_, WM_GETTEXTLENGTH, 0, 0, &length))
            return std::nullopt;
        std::wstring text(length + 1, L'\0');
        DWORD_PTR copied = 0;
        if (!Send(nameBox_, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                  &copied))
            return std::nullopt;
        text.resize(std::min<std::size_t>(copied, length));
        return Utf8(text);
    }
    bool WriteName(const std::string& text) override {
        const std::wstring wide = Wide(text);
        DWORD_PTR result = 0;
        return Send(nameBox_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), &result) &&
               result;
    }
    bool PressOk() override {
        // What the OK button tells its dialog when clicked, without the mouse.
        DWORD_PTR result = 0;
        return Send(dialog_, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                    reinterpret_cast<LPARAM>(okButton_), &result);
    }
    bool IsOpen() override { return IsWindow(dialog_) && IsWindowVisible(dialog_); }
    void Settle() override { Sleep(50); }
    void RestoreFocus() override {
        if (!focus_ || !IsWindow(focus_) || FocusOfThread() == focus_)
            return;
        DWORD_PTR result = 0;
        Send(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus_), TRUE, &result);
    }

private:
    HWND FocusOfThread() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(thread_, &info) ? info.hwndFocus : nullptr;
    }

    HWND dialog_, nameBox_, okButton_;
    DWORD thread_;
    HWND focus_ = nullptr;
};

// The path made absolute: a dialog would take a relative one from its own folder,
// and the shell from its own.
std::string AbsolutePath(const std::string& path) {
    const std::wstring wide = Wide(path);
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (!size)
        return path;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (!length || length >= size)
        return path;
    full.resize(length);
    return Utf8(full);
}

} // namespace

WindowFacts FactsOf(HWND window) {
    WindowFacts facts;
    if (!window || !IsWindow(window))
        return facts;
    facts.handle = reinterpret_cast<std::uintptr_t>(window);
    facts.className = ClassNameOf(window);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    facts.ours = process == GetCurrentProcessId();
    std::vector<HWND> handles;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM list) {
            auto& found = *reinterpret_cast<std::vector<HWND>*>(list);
            found.push_back(child);
            return found.size() < kMaxChildren ? TRUE : FALSE;
        },
        reinterpret_cast<LPARAM>(&handles));
    std::unordered_map<HWND, int> indexOf;
    for (std::size_t i = 0; i < handles.size(); ++i)
        indexOf.emplace(handles[i], static_cast<int>(i));
    for (HWND child : handles) {
        ChildWindow seen;
        seen.handle = reinterpret_cast<std::uintptr_t>(child);
        const HWND parent = GetAncestor(child, GA_PARENT);
        const auto known = indexOf.find(parent);
        seen.parent = parent == window ? -1 : known != indexOf.end() ? known->second : -2;
        seen.className = ClassNameOf(child);
        seen.id = GetDlgCtrlID(child);
        seen.visible = IsWindowVisible(child) != FALSE;
        facts.children.push_back(std::move(seen));
    }
    return facts;
}

HWND FindExplorerWindowShowing(const std::string& path) {
    const std::wstring wide = Wide(path);
    auto found = std::make_shared<std::atomic<HWND>>(nullptr);
    RunBounded(
        [wide, found] {
            UniqueIdList folder(ILCreateFromPathW(wide.c_str()));
            ComPtr<IShellWindows> windows = ShellWindows();
            if (folder && windows)
                *found = FindWindowShowing(*windows, folder.Get());
            return *found != nullptr;
        },
        kShellWaitMs);
    return *found;
}

PlacementStep PlaceFolder(HWND windowInFront, const std::string& typedPath) {
    const WindowInFront front = ClassifyWindow(FactsOf(windowInFront));
    const std::string path = AbsolutePath(typedPath);
    const std::wstring wide = Wide(path);
    for (const PlacementStep step : PlacementSteps(front.kind, wide.size())) {
        switch (step) {
        case PlacementStep::FileDialog: {
            DialogInFront dialog(windowInFront, AsWindow(front.nameBox), AsWindow(front.okButton));
            if (PutFolderInFileDialog(dialog, path))
                return step;
            break;
        }
        case PlacementStep::ExplorerInFront: {
            const HWND locationBox = AsWindow(front.locationBox);
            const bool shown = RunBounded(
                [windowInFront, locationBox, wide] {
                    UniqueIdList folder(ILCreateFromPathW(wide.c_str()));
                    return folder && (BrowseInShellWindow(windowInFront, folder.Get()) ||
                                      (locationBox && BrowseByLocationBox(locationBox, wide)));
                },
                kShellWaitMs);
            if (shown)
                return step;
            break;
        }
        case PlacementStep::OpenExplorerWindow:
            if (const HWND open = FindExplorerWindowShowing(path)) {
                BringForward(open);
                return step;
            }
            break;
        case PlacementStep::NewExplorerWindow:
            return step;
        }
    }
    return PlacementStep::NewExplorerWindow;
}

} // namespace pw
