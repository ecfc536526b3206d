#include "open/PlaceFolder.h"

#include "open/FolderLaunch.h"
#include "win/Scoped.h"
#include "win/Text.h"

#include <commdlg.h>
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

std::uintptr_t Handle(HWND window) {
    return reinterpret_cast<std::uintptr_t>(window);
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

// A browser the shell's window list has for an Explorer window, with the window it
// names (its tab's, on Windows 11).
struct ListedBrowser {
    ComPtr<IShellBrowser> browser;
    HWND window = nullptr;
};

// The browsers of the window among the shell's windows; nothing when the list
// cannot be read (Wine's).
std::optional<std::vector<ListedBrowser>> BrowsersOf(IShellWindows& windows, HWND explorer) {
    long count = 0;
    if (FAILED(windows.get_Count(&count)))
        return std::nullopt;
    std::vector<ListedBrowser> found;
    for (long i = 0; i < count; ++i) {
        VARIANT index;
        VariantInit(&index);
        index.vt = VT_I4;
        index.lVal = i;
        ComPtr<IDispatch> item;
        if (windows.Item(index, item.Put()) != S_OK || !item)
            continue;
        ComPtr<IWebBrowser2> webBrowser = item.As<IWebBrowser2>();
        SHANDLE_PTR handle = 0;
        if (!webBrowser || FAILED(webBrowser->get_HWND(&handle)) ||
            reinterpret_cast<HWND>(handle) != explorer)
            continue;
        ComPtr<IServiceProvider> services = webBrowser.As<IServiceProvider>();
        ListedBrowser listed;
        if (services &&
            SUCCEEDED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                             listed.browser.PutVoid())) &&
            SUCCEEDED(listed.browser->GetWindow(&listed.window)))
            found.push_back(std::move(listed));
    }
    return found;
}

std::vector<ExplorerBrowser> Described(const std::vector<ListedBrowser>& listed,
                                       PCIDLIST_ABSOLUTE folder) {
    std::vector<ExplorerBrowser> described;
    for (const ListedBrowser& each : listed)
        described.push_back({Handle(each.window), Shows(*each.browser.Get(), folder)});
    return described;
}

// On Windows 11 the active tab's window comes first among a window's tabs.
HWND ActiveTabOf(HWND explorer) {
    return FindWindowExW(explorer, nullptr, L"ShellTabWindowClass", nullptr);
}

// The way Windows documents for its Explorer: the browser of the window's active tab
// browses to the folder in place, so Back leads to where it was.
bool BrowseInShellWindow(HWND explorer, PCIDLIST_ABSOLUTE folder,
                         const std::function<bool()>& commit) {
    ComPtr<IShellWindows> windows = ShellWindows();
    const auto listed = windows ? BrowsersOf(*windows.Get(), explorer) : std::nullopt;
    if (!listed)
        return false;
    const std::vector<ExplorerBrowser> described = Described(*listed, folder);
    const auto active = ActiveBrowser(described, Handle(explorer), Handle(ActiveTabOf(explorer)));
    if (!active)
        return false;
    return described[*active].showsFolder ||
           (commit() && SUCCEEDED((*listed)[*active].browser->BrowseObject(
                            folder, SBSP_SAMEBROWSER | SBSP_ABSOLUTE)));
}

std::optional<std::wstring> ReadText(HWND window) {
    DWORD_PTR length = 0;
    if (!Send(window, WM_GETTEXTLENGTH, 0, 0, &length))
        return std::nullopt;
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied))
        return std::nullopt;
    text.resize(std::min<std::size_t>(copied, length));
    return text;
}

bool WriteText(HWND window, const std::wstring& text) {
    DWORD_PTR result = 0;
    return Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &result) && result;
}

// Wine's Explorer, whose window list the shell cannot give: its Location box
// navigates on Enter, as when the user types there. (Whether the window already
// shows the folder cannot be asked: Wine's list keeps a window's first folder after
// it has moved on.) A sent message whose wait runs out is still handled later on
// Windows and dropped by Wine: a text given up has the box's own text queued behind
// it, and the Enter, once the box took the path, is posted and counts as done, so
// that the window gets there however late, and no second window opens beside it.
bool BrowseByLocationBox(HWND locationBox, const std::wstring& path) {
    const std::optional<std::wstring> before = ReadText(locationBox);
    if (!before)
        return false; // nothing was changed
    if (!WriteText(locationBox, path)) {
        WriteText(locationBox, *before);
        return false;
    }
    return PostMessageW(locationBox, WM_KEYDOWN, VK_RETURN, 0) != FALSE;
}

// Only the classic API's Open and Save As dialogs answer with the folder's length; a
// zero-length buffer is never written to.
bool AnswersFolderPathQuery(HWND dialog) {
    DWORD_PTR length = 0;
    return Send(dialog, CDM_GETFOLDERPATH, 0, 0, &length) && static_cast<LRESULT>(length) > 0;
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
    DialogInFront(HWND dialog, const WindowInFront& parts, const std::string& folder)
        : dialog_(dialog), nameBox_(AsWindow(parts.nameBox)), okButton_(AsWindow(parts.okButton)),
          thread_(GetWindowThreadProcessId(dialog, nullptr)), folder_(folder) {
        focus_ = FocusOfThread();
    }

    std::optional<std::string> ReadName() override {
        const std::optional<std::wstring> text = ReadText(nameBox_);
        return text ? std::optional<std::string>(Utf8(*text)) : std::nullopt;
    }
    bool WriteName(const std::string& text) override { return WriteText(nameBox_, Wide(text)); }
    bool PressOk() override {
        // What the OK button tells its dialog when clicked, without the mouse.
        DWORD_PTR result = 0;
        return Send(dialog_, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                    reinterpret_cast<LPARAM>(okButton_), &result);
    }
    bool IsOpen() override { return IsWindow(dialog_) && IsWindowVisible(dialog_); }
    bool FolderExists() override { return IsExistingDirectory(folder_); }
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
    std::string folder_;
    HWND focus_ = nullptr;
};

// A folder picker's folder box gets the folder, where the user would type it; OK is
// the user's to press. True when the box took it and the picker is still open.
bool PutFolderInPicker(DialogInFront& picker, const std::string& folder) {
    if (!picker.WriteName(folder))
        return false;
    picker.RestoreFocus();
    return picker.ReadName() == folder && picker.IsOpen();
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

std::string PathTypedIntoFileDialog(const std::string& path) {
    // A dialog would take a relative path from its own folder, and the shell from its own.
    std::string typed = FullPath(path);
    if (typed.empty() || (typed.back() != '\\' && typed.back() != '/'))
        typed += '\\';
    return typed;
}

bool RunBounded(std::function<bool(const std::function<bool()>& commit)> work, DWORD timeoutMs) {
    enum State { kRunning, kCommitted, kGivenUp };
    struct Shared {
        std::function<bool(const std::function<bool()>&)> work;
        std::atomic<int> state{kRunning};
        std::atomic<bool> succeeded{false};
    };
    auto shared = std::make_shared<Shared>();
    shared->work = std::move(work);
    auto threadsShare = std::make_unique<std::shared_ptr<Shared>>(shared);
    const auto run = [](void* parameter) -> DWORD {
        const std::unique_ptr<std::shared_ptr<Shared>> held(
            static_cast<std::shared_ptr<Shared>*>(parameter));
        Shared& shared = **held;
        const ScopedCom com;
        const std::function<bool()> commit = [&shared] {
            int running = kRunning;
            return shared.state.compare_exchange_strong(running, kCommitted) ||
                   running == kCommitted;
        };
        try {
            shared.succeeded = shared.work(commit);
        } catch (...) {
        }
        return 0;
    };
    UniqueKernelHandle thread(CreateThread(nullptr, 0, run, threadsShare.get(), 0, nullptr));
    if (!thread)
        return false;
    threadsShare.release();
    if (WaitForSingleObject(thread.Get(), timeoutMs) == WAIT_OBJECT_0)
        return shared->succeeded;
    int running = kRunning;
    return !shared->state.compare_exchange_strong(running, kGivenUp); // committed in time
}

HWND FindExplorerWindowShowing(const std::string& path) {
    const std::wstring wide = Wide(path);
    auto found = std::make_shared<std::atomic<HWND>>(nullptr);
    RunBounded(
        [wide, found](const std::function<bool()>&) {
            UniqueIdList folder(ILCreateFromPathW(wide.c_str()));
            ComPtr<IShellWindows> windows = ShellWindows();
            const HWND window =
                folder && windows ? FindWindowShowing(*windows, folder.Get()) : nullptr;
            if (!window)
                return false;
            const auto listed = BrowsersOf(*windows.Get(), window);
            std::optional<std::vector<ExplorerBrowser>> described;
            if (listed)
                described = Described(*listed, folder.Get());
            if (ShowsFolderInFront(described, Handle(window), Handle(ActiveTabOf(window))))
                *found = window;
            return *found != nullptr;
        },
        kShellWaitMs);
    return *found;
}

PlacementStep PlaceFolder(HWND windowInFront, const std::string& typedPath) {
    WindowFacts facts = FactsOf(windowInFront);
    WindowInFront front = ClassifyWindow(facts);
    if (front.kind == WindowKind::FolderPicker) {
        facts.answersFolderPathQuery = AnswersFolderPathQuery(windowInFront);
        front = ClassifyWindow(facts);
    }
    const std::string path = FullPath(typedPath);
    const std::wstring wide = Wide(path);
    for (const PlacementStep step : PlacementSteps(front.kind, wide.size())) {
        switch (step) {
        case PlacementStep::FileDialog: {
            DialogInFront dialog(windowInFront, front, path);
            const DialogOutcome outcome =
                PutFolderInFileDialog(dialog, PathTypedIntoFileDialog(path));
            if (outcome == DialogOutcome::Shown)
                return step;
            if (outcome == DialogOutcome::Closed)
                return PlacementStep::FileDialogClosed;
            break;
        }
        case PlacementStep::FolderPicker: {
            DialogInFront picker(windowInFront, front, path);
            if (PutFolderInPicker(picker, path))
                return step;
            break;
        }
        case PlacementStep::ExplorerInFront: {
            // Wine's Location box is typed into at once: it never waits behind the
            // shell's window list, which under Wine can take seconds to answer.
            const HWND locationBox = AsWindow(front.locationBox);
            const bool shown =
                locationBox ? BrowseByLocationBox(locationBox, wide)
                            : RunBounded(
                                  [windowInFront, wide](const std::function<bool()>& commit) {
                                      UniqueIdList folder(ILCreateFromPathW(wide.c_str()));
                                      return folder && BrowseInShellWindow(windowInFront,
                                                                           folder.Get(), commit);
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
        case PlacementStep::FileDialogClosed:
            return PlacementStep::NewExplorerWindow;
        }
    }
    return PlacementStep::NewExplorerWindow;
}

} // namespace pw
