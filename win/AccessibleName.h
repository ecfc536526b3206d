#pragma once
// Screen readers name a box, a list or a key field by the label right before it in
// Z order (which is the tab order). Windows' own accessible objects do so for edit
// boxes only on some systems and versions (Wine: edit boxes only), so a control given
// to NameByLabel answers the accessibility interface itself: the system's object for
// its class, with the name of that label, or of its parent window when no label
// stands before it (a tab page, named as its tab). The object is made when a reader
// asks for it, and the accessibility library is loaded only then.

#include <windows.h>

#include <string>
#include <string_view>

namespace pw {

// A label's caption as a name: its mnemonic marks gone ("&Type" -> "Type", "&&" -> "&").
std::wstring NameOfCaption(std::wstring_view caption);

// The name control gets from the label before it (or its parent): see above.
std::wstring LabelNameOf(HWND control);

// From now on control answers WM_GETOBJECT with its label's name (see above).
void NameByLabel(HWND control);

} // namespace pw
