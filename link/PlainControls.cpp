#include "link/PlainControls.h"

#include "protocol/Commands.h"

namespace klink {

std::string TPlainControls::ItemText(Control list, int index) {
    const auto pick = [index](const auto& items) {
        return index >= 0 && index < static_cast<int>(items.size()) ? std::string(items[index])
                                                                    : std::string();
    };
    switch (list) {
    case Control::MaterialBox:
        return pick(protocol::MaterialItems);
    case Control::ZonesBox:
        return pick(protocol::ZonesItems);
    case Control::RefType:
        return pick(protocol::RefTypeItems);
    case Control::LogIntBox:
        return pick(protocol::LogIntervalItems);
    default:
        return {};
    }
}

std::string TPlainControls::Text(Control control) const {
    if (const auto item = Items.find(control); item != Items.end()) {
        return ItemText(control, item->second);
    }
    const auto it = Texts.find(control);
    return it == Texts.end() ? std::string() : it->second;
}

void TPlainControls::SetText(Control control, const std::string& text) {
    Texts[control] = text;
}

int TPlainControls::ItemIndex(Control control) const {
    const auto it = Items.find(control);
    return it == Items.end() ? -1 : it->second;
}

void TPlainControls::SetItemIndex(Control control, int index) {
    Items[control] = index;
}

bool TPlainControls::Checked(Control control) const {
    const auto it = Checks.find(control);
    return it != Checks.end() && it->second;
}

void TPlainControls::SetChecked(Control control, bool checked) {
    Checks[control] = checked;
}

} // namespace klink
