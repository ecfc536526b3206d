#pragma once
// The folder switcher: a small window on top, at the mouse pointer, with a filter
// box and a list of every shortcut. Typing filters the list (every word must occur
// in the folder's path, without regard to case in any script; see FolderRanking);
// Up, Down, Page Up, Page Down, Home and End move the selection; Enter or a click
// chooses, Ctrl with either chooses a terminal, Shift a new Explorer window; Ctrl+C
// copies the folder's path when no filter text is selected (and closes, so that it
// can be pasted at once); Esc, a click elsewhere or another window's activation
// closes it. A line under the list names these keys. It shows what it is given and
// reports the choice; it holds no shortcut.

#include "win/Layout.h"
#include "win/ProgramName.h"
#include "win/Scoped.h"
#include "win/Window.h"

#include <functional>
#include <string>
#include <vector>

namespace pw {

// The text folded for comparison without regard to case, in any script (the
// system's linguistic lower case).
std::string FoldCase(const std::string& text);

class FolderSwitcher : public Window {
public:
    // Other programs and the tests find the window by this class and caption.
    static constexpr const char* kClassName = PATHWINK_NAME "FolderSwitcher";
    static constexpr const char* kCaption = "Show all folders - " PATHWINK_NAME;

    FolderSwitcher();
    ~FolderSwitcher() override;

    // Shows rows (the list's texts) for paths at the pointer, in the work area of
    // the pointer's monitor, with the focus in an empty filter box. inFront is the
    // window that was in front when the user asked: the focus goes back to it on a
    // close, and it is handed on with a choice.
    void Show(std::vector<std::string> rows, std::vector<std::string> paths, HWND inFront);
    // Closes without a choice; the focus goes back to the window that was in front.
    void Dismiss();
    bool Showing() const;

    // Where a chosen folder opens.
    enum class OpenIn { WindowInFront, NewWindow, Terminal };
    // A folder was chosen (the switcher has closed): its path as given, the window
    // that was in front when the switcher was asked for, and where it opens.
    std::function<void(const std::string& path, HWND inFront, OpenIn where)> OnChosen;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateControls();
    void ApplyDpi(UINT dpi);
    void PlaceAtPointer();
    void Refilter();
    void ChooseRow(int shownRow);
    void CopySelectedPath();
    int SelectedRow() const;
    void Close(bool giveFocusBack);
    static LRESULT CALLBACK FilterBoxProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

    static const std::vector<ControlSpec<FolderSwitcher>>& Controls();

    Layout layout_;
    UniqueFont font_;
    std::vector<std::string> rows_, paths_, foldedPaths_;
    std::vector<int> shown_; // indexes into rows_ of the list's rows, in order
    HWND inFront_ = nullptr;
    bool closing_ = false;
    int focusBackChecks_ = 0;
};

} // namespace pw
