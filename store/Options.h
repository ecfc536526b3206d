#pragma once
// The four options of the Options page, as the settings file stores them.

namespace pw {

struct Options {
    bool WarnWeakKey = true;
    bool ConfirmExit = true;
    bool DClickEdits = false;
    bool RunOnStarup = true; // the settings key is spelled so
    bool operator==(const Options& o) const {
        return WarnWeakKey == o.WarnWeakKey && ConfirmExit == o.ConfirmExit &&
               DClickEdits == o.DClickEdits && RunOnStarup == o.RunOnStarup;
    }
};

} // namespace pw
