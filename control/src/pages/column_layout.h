// The layout the Triggers, Counter/Timer and Quadrature Decoders pages share: rows of a label
// above its control, in a left and a right column of the page (dialog units).
#pragma once

#include "ui/dialog_units.h"
#include "ui/property_page.h"

namespace mqacq32::pages {

struct ColumnLayout {
    static constexpr int kLeft = 8;
    static constexpr int kRight = 130;
    static constexpr int kWidth = 112;
    static constexpr int kRowHeight = 26;
    static constexpr int kFirstRow = 4;
    static constexpr int kLabelHeight = 8;
    static constexpr int kControlOffset = 10;
    static constexpr int kEditHeight = 12;
    static constexpr int kDropHeight = 80;

    static ui::ControlDesign Label(const char* name, const char* caption, int x, int row) {
        return ui::DialogItem(ui::Kind::Label, name, caption, x, kFirstRow + row * kRowHeight,
                              kWidth, kLabelHeight);
    }
    // A combo box (with its drop-down's height) or an edit, under the label of its row.
    static ui::ControlDesign Control(ui::Kind kind, int id, int x, int row) {
        return ui::PageItem(kind, id, "", x, kFirstRow + row * kRowHeight + kControlOffset, kWidth,
                            kind == ui::Kind::ComboBox ? kDropHeight : kEditHeight);
    }
};

}  // namespace mqacq32::pages
