#include "app/SwitcherKey.h"

#include "app/KeyChecks.h"
#include "win/Application.h"
#include "win/Messages.h"
#include "win/OnDemandLibrary.h"

namespace pw {

SwitcherKey::SwitcherKey(const ShortcutTable& table, const ShortcutDisplay& display,
                         std::function<void(const std::string&, HWND, FolderSwitcher::OpenIn)> open,
                         std::function<bool()> blocked)
    : table_(table), display_(display), open_(std::move(open)), blocked_(std::move(blocked)) {
    binding_.OnPressed = [this] { Toggle(GetForegroundWindow()); };
}

bool SwitcherKey::Change(KeyCombination key, const Options& options,
                         const KeyboardLookups& keyboard, MainWindow* pages) {
    if (key != 0 && !KeyPassesQuestions(key, options, keyboard, "shows all folders",
                                        [] { return Application::Instance().Terminated(); })) {
        ShowOn(pages);
        return false;
    }
    const bool taken = binding_.ChangeKey(key);
    ShowOn(pages);
    if (!taken)
        PlainMessage(kRegistrationFailedText);
    return taken;
}

void SwitcherKey::ShowOn(MainWindow* pages) const {
    if (pages)
        pages->ShowAllFoldersKey(binding_.Key(), binding_.Refused());
}

void SwitcherKey::Toggle(HWND inFront) {
    if (blocked_())
        return;
    if (switcher_ && switcher_->Showing()) {
        switcher_->Dismiss();
        return;
    }
    if (!switcher_) {
        if (!LoadOnDemand(kCommonControlsLibrary, "show all folders"))
            return;
        switcher_ = std::make_unique<FolderSwitcher>();
        switcher_->OnChosen = [this](const std::string& path, HWND chosenInFront,
                                     FolderSwitcher::OpenIn where) {
            open_(path, chosenInFront, where);
        };
    }
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(table_.Count()));
    for (int i = 0; i < table_.Count(); ++i)
        paths.push_back(table_.Path(i));
    switcher_->Show(display_.ListRows(), std::move(paths), inFront);
}

} // namespace pw
