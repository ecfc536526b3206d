#include "win/AccessibleName.h"

#include "win/OnDemandLibrary.h"

#include <oleacc.h>

#include <unordered_map>

namespace pw {

namespace {

// The system's accessible object of a control with another name for the control
// itself; everything else, its children's names included, is the system's.
class LabelledAccessible final : public IAccessible {
public:
    LabelledAccessible(HWND control, IAccessible* system) : control_(control), system_(system) {}

    // IUnknown. Other interfaces of the system's object (IEnumVARIANT, IOleWindow)
    // are handed out as they are.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        return system_->QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            system_->Release();
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (child.vt != VT_I4 || child.lVal != CHILDID_SELF)
            return system_->get_accName(child, name);
        if (!name)
            return E_POINTER;
        const std::wstring text = LabelNameOf(control_);
        *name =
            text.empty() ? nullptr : SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return *name ? S_OK : S_FALSE;
    }

    // IDispatch and the rest of IAccessible: the system's.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        return system_->GetTypeInfoCount(n);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID l, ITypeInfo** t) override {
        return system_->GetTypeInfo(i, l, t);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID r, LPOLESTR* n, UINT c, LCID l,
                                            DISPID* d) override {
        return system_->GetIDsOfNames(r, n, c, l, d);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID d, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v,
                                     EXCEPINFO* e, UINT* a) override {
        return system_->Invoke(d, r, l, f, p, v, e, a);
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** p) override {
        return system_->get_accParent(p);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* n) override {
        return system_->get_accChildCount(n);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT c, IDispatch** d) override {
        return system_->get_accChild(c, d);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT c, BSTR* v) override {
        return system_->get_accValue(c, v);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT c, BSTR* d) override {
        return system_->get_accDescription(c, d);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT c, VARIANT* r) override {
        return system_->get_accRole(c, r);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT c, VARIANT* s) override {
        return system_->get_accState(c, s);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT c, BSTR* h) override {
        return system_->get_accHelp(c, h);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* f, VARIANT c, long* t) override {
        return system_->get_accHelpTopic(f, c, t);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT c, BSTR* k) override {
        return system_->get_accKeyboardShortcut(c, k);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* c) override { return system_->get_accFocus(c); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* c) override {
        return system_->get_accSelection(c);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT c, BSTR* a) override {
        return system_->get_accDefaultAction(c, a);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long f, VARIANT c) override {
        return system_->accSelect(f, c);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT c) override {
        return system_->accLocation(x, y, w, h, c);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long d, VARIANT s, VARIANT* e) override {
        return system_->accNavigate(d, s, e);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* c) override {
        return system_->accHitTest(x, y, c);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT c) override {
        return system_->accDoDefaultAction(c);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT c, BSTR n) override {
        return system_->put_accName(c, n);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT c, BSTR v) override {
        return system_->put_accValue(c, v);
    }

private:
    ~LabelledAccessible() = default;
    LONG references_ = 1;
    HWND control_;
    IAccessible* system_;
};

// The window procedure each named control had before, by control. Plain subclassing:
// under Wine, the common controls' subclass chain costs a server call per message,
// which a list filled with a thousand rows would feel.
std::unordered_map<HWND, WNDPROC>& EarlierProcedures() {
    static std::unordered_map<HWND, WNDPROC> procedures;
    return procedures;
}

LRESULT AnswerAccessibility(HWND control, WPARAM wParam) {
    if (!LoadOnDemand(kAccessibilityLibrary, nullptr) || !LoadOnDemand(kAutomationLibrary, nullptr))
        return 0; // the system's own object, named as the system names it
    IAccessible* system = nullptr;
    if (FAILED(CreateStdAccessibleObject(control, OBJID_CLIENT, __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&system))))
        return 0;
    auto* named = new LabelledAccessible(control, system);
    const LRESULT result = LresultFromObject(__uuidof(IAccessible), wParam, named);
    named->Release(); // the result holds its own reference
    return result;
}

LRESULT CALLBACK NamedControlProc(HWND control, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto& procedures = EarlierProcedures();
    const auto found = procedures.find(control);
    const WNDPROC earlier = found == procedures.end() ? DefWindowProcW : found->second;
    if (msg == WM_GETOBJECT && static_cast<LONG>(lParam) == OBJID_CLIENT) {
        if (const LRESULT answer = AnswerAccessibility(control, wParam))
            return answer;
    } else if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(earlier));
        procedures.erase(control);
    }
    return CallWindowProcW(earlier, control, msg, wParam, lParam);
}

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), int(text.size()))));
    return text;
}

} // namespace

std::wstring NameOfCaption(std::wstring_view caption) {
    std::wstring name;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == L'&' && i + 1 < caption.size())
            ++i; // the mark goes, the character after it stays ("&&" is one '&')
        name += caption[i];
    }
    return name;
}

std::wstring LabelNameOf(HWND control) {
    wchar_t className[16] = L"";
    const HWND before = GetWindow(control, GW_HWNDPREV);
    if (before && GetClassNameW(before, className, 16) && lstrcmpiW(className, L"Static") == 0)
        return NameOfCaption(TextOf(before));
    return NameOfCaption(TextOf(GetParent(control)));
}

void NameByLabel(HWND control) {
    auto& procedures = EarlierProcedures();
    if (!control || procedures.count(control))
        return;
    procedures[control] = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(NamedControlProc)));
}

} // namespace pw
