#include "board_list_ctrl.h"

namespace mqhxcpl {

void CBoardListCtrl::AddColumn(const std::string& title, int column, ui::Align format) {
    const int width = list_.StringWidth(title) + kColumnPaddingPixels * ui::kTwipsPerPixel;
    list_.InsertColumn(column, title, width, format);
}

void CBoardListCtrl::SetItem(int row, int column, const std::string& text, int image) {
    if (column == 0) {
        list_.InsertItem(row, text, image);
        return;
    }
    list_.SetItemText(row, column, text);
    if (image != -1)
        list_.SetItemImage(row, image);
}

}  // namespace mqhxcpl
