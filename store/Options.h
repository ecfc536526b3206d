#pragma once
// The five options of the Options page, as the settings file stores them.

namespace pw {

struct Options {
    bool WarnWeakKey = true;
    bool ConfirmExit = true;
    bool DClickEdits = false;
    bool RunOnStarup = true; // the settings key is spelled so
    // Warn of (and mark) Ctrl+Alt combinations that type a character with AltGr.
    bool WarnAltGr = true;
    bool operator==(const Options& o) const {
        return WarnWeakKey == o.WarnWeakKey && ConfirmExit == o.ConfirmExit &&
               DClickEdits == o.DClickEdits && RunOnStarup == o.RunOnStarup &&
               WarnAltGr == o.WarnAltGr;
    }
};

} // namespace pw
