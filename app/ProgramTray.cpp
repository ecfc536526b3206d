#include "app/ProgramTray.h"

#include "main/RowText.h"

namespace pw {

void ProgramTray::Show() {
    if (icon_)
        return;
    icon_ = std::make_unique<TrayIcon>(window_);
    icon_->SetTooltip(display_.Tooltip());
    icon_->SetMenuOwner(window_);
    icon_->OnSelected = [this] { OnSelected(); };
    icon_->OnNotificationClicked = [this] { OnNoticeClicked(); };
    icon_->OnMenuRequested = [this](POINT at) {
        BeforeMenu();
        menu_.Build(display_.MenuEntries(), display_.ShowAllFoldersEntry(switcherKey_));
        menuOpen_ = true;
        const TrayMenu::Choice choice = menu_.Show(window_, at);
        menuOpen_ = false;
        OnChosen(choice);
    };
    const std::vector<InactiveShortcut> inactive = display_.InactiveShortcuts();
    if (!inactive.empty()) // said once per start, as soon as the icon is there to say it
        icon_->ShowNotification(InactiveNoticeTitle(static_cast<int>(inactive.size())),
                                InactiveNoticeText(inactive));
    icon_->Show();
}

void ProgramTray::RefreshTooltip() {
    if (icon_)
        icon_->SetTooltip(display_.Tooltip());
}

} // namespace pw
