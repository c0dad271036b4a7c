// Small steps the pages take on their combos, and the settings they read when the page's object
// is not a control.
#pragma once

#include "cached_settings.h"
#include "ui/forms.h"

namespace mqacq32::pages {

// Selects the entry at `value`'s position; none when the combo has no such entry (an unset
// value, or a design-time marker).
inline void SelectValue(ui::ComboBox& combo, SHORT value) {
    combo.SetListIndex(value >= 0 && value < combo.ListCount() ? value : -1);
}

inline void DisableAndEmpty(ui::ComboBox& combo) {
    combo.SetEnabled(false);
    combo.Clear();
}

// `settings`, or those of a fresh control when there is none.
inline const CachedSettings& SettingsOrFresh(const CachedSettings* settings) {
    static const CachedSettings kFresh;
    return settings != nullptr ? *settings : kFresh;
}

}  // namespace mqacq32::pages
