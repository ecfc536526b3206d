#pragma once
// Scoped resources, the one place of them: move-only owners of Win32 handles, a
// scope-exit action, a COM apartment of the calling thread, COM interface pointers
// and memory COM handed out, a device context with a font selected into it, and
// text measured with one.

#include <windows.h>
#include <objbase.h>

#include <string>
#include <utility>

namespace pw {

template <class Traits> class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : handle_(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    Handle Get() const { return handle_; }
    // For a function that hands out a new handle through a pointer: the old one is
    // closed first, and the new one is owned from then on.
    Handle* Put() {
        Reset();
        return &handle_;
    }
    explicit operator bool() const { return handle_ != Traits::Invalid(); }
    Handle Release() { return std::exchange(handle_, Traits::Invalid()); }
    void Reset(Handle h = Traits::Invalid()) {
        Handle old = std::exchange(handle_, h);
        if (old != Traits::Invalid())
            Traits::Close(old);
    }

private:
    Handle handle_ = Traits::Invalid();
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { CloseHandle(h); }
};
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};
struct IconTraits {
    using Handle = HICON;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { DestroyIcon(h); }
};
struct MenuTraits {
    using Handle = HMENU;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { DestroyMenu(h); }
};
struct FontTraits {
    using Handle = HFONT;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { DeleteObject(h); }
};
struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { RegCloseKey(h); }
};
struct HookTraits {
    using Handle = HHOOK;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { UnhookWindowsHookEx(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;
using UniqueMenu = UniqueHandle<MenuTraits>;
using UniqueFont = UniqueHandle<FontTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueHook = UniqueHandle<HookTraits>;

// Runs its action when the scope is left, also by an exception, unless dismissed.
template <class F> class ScopeExit {
public:
    explicit ScopeExit(F action) : action_(std::move(action)) {}
    ~ScopeExit() {
        if (armed_)
            action_();
    }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    void Dismiss() { armed_ = false; }

private:
    F action_;
    bool armed_ = true;
};

// The apartment every thread of the program enters COM with: a single-threaded one,
// as the shell's dialogs and verbs need, without the old OLE 1 DDE.
constexpr DWORD kComApartment = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE;

// COM entered on this thread for the scope, and left again if the entry succeeded.
class ScopedCom {
public:
    ScopedCom() : result_(CoInitializeEx(nullptr, kComApartment)) {}
    ~ScopedCom() {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    ScopedCom(const ScopedCom&) = delete;
    ScopedCom& operator=(const ScopedCom&) = delete;

private:
    HRESULT result_;
};

// A COM interface pointer with one owner, released when it goes.
template <class T> class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }

    T* Get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    T& operator*() const { return *pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // For a function that hands out a new pointer: the old one is released first.
    T** Put() {
        Reset();
        return &pointer_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset() {
        if (pointer_)
            std::exchange(pointer_, nullptr)->Release();
    }
    // The same object's interface U, or an empty pointer when it has none.
    template <class U> ComPtr<U> As() const {
        ComPtr<U> other;
        if (pointer_)
            pointer_->QueryInterface(__uuidof(U), other.PutVoid());
        return other;
    }

private:
    T* pointer_ = nullptr;
};

// Memory that COM or the shell allocated for the caller (an item id list, a name).
template <class T> struct CoTaskMemTraits {
    using Handle = T*;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { CoTaskMemFree(h); }
};
template <class T> using UniqueCoTaskMem = UniqueHandle<CoTaskMemTraits<T>>;

// Memory the system allocated with LocalAlloc for the caller (a message text, a
// security descriptor, a SID's text).
template <class T> struct LocalMemTraits {
    using Handle = T;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { LocalFree(h); }
};
template <class T> using UniqueLocalMem = UniqueHandle<LocalMemTraits<T>>;

// A window's device context (GetWindowDC for the whole window when asked) with
// font selected; both undone at the end of the scope.
class ScopedDc {
public:
    explicit ScopedDc(HWND hwnd, HFONT font = nullptr, bool wholeWindow = false)
        : hwnd_(hwnd), dc_(wholeWindow ? GetWindowDC(hwnd) : GetDC(hwnd)) {
        if (dc_ && font)
            oldFont_ = SelectObject(dc_, font);
    }
    ~ScopedDc() {
        if (!dc_)
            return;
        if (oldFont_)
            SelectObject(dc_, oldFont_);
        ReleaseDC(hwnd_, dc_);
    }
    ScopedDc(const ScopedDc&) = delete;
    ScopedDc& operator=(const ScopedDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
    HGDIOBJ oldFont_ = nullptr;
};

// The extent of text drawn in font on hwnd's DC with DrawText's flags (DT_CALCRECT
// is added); width limits the lines of DT_WORDBREAK text and is 0 otherwise.
inline RECT MeasureText(HWND hwnd, HFONT font, const std::wstring& text, UINT flags,
                        int width = 0) {
    RECT r{0, 0, width, 0};
    ScopedDc dc(hwnd, font);
    DrawTextW(dc.Get(), text.c_str(), static_cast<int>(text.size()), &r, flags | DT_CALCRECT);
    return r;
}

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { FindClose(h); }
};
using UniqueFind = UniqueHandle<FindHandleTraits>;

// A process handle is a kernel handle: closed with CloseHandle.
using UniqueProcess = UniqueKernelHandle;

} // namespace pw
