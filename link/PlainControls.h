// The window's controls as plain values, for a host without widgets: a list holds the index of
// its selected item and reads as that item's text.
#pragma once

#include "link/LinkHost.h"

#include <map>
#include <string>

namespace klink {

class TPlainControls : public TLinkHost {
public:
    std::string Text(Control control) const override;
    void SetText(Control control, const std::string& text) override;
    int ItemIndex(Control control) const override;
    void SetItemIndex(Control control, int index) override;
    bool Checked(Control control) const override;
    void SetChecked(Control control, bool checked) override;

    // The item's text of a list, "" when nothing is selected or the control is no list.
    static std::string ItemText(Control list, int index);

private:
    std::map<Control, std::string> Texts;
    std::map<Control, int> Items;
    std::map<Control, bool> Checks;
};

} // namespace klink
