// The board list: a list view in report view whose columns are as wide as their titles in the
// list's own font plus 15 pixels.
#pragma once

#include <string>

#include "ui/list_view.h"

namespace mqhxcpl {

class CBoardListCtrl {
  public:
    explicit CBoardListCtrl(ui::ListView& list) : list_(list) {}

    // Adds a column with its title (the sub-item and mask of the column record are those of the
    // column itself in a report view).
    void AddColumn(const std::string& title, int column, ui::Align format = ui::Align::Left);
    // Column 0 inserts a row at `row` with its image (-1: none); any other column sets that
    // column's text of the row (and the row's image when given).
    void SetItem(int row, int column, const std::string& text, int image = -1);

    ui::ListView& List() const { return list_; }

  private:
    ui::ListView& list_;
};

inline constexpr int kColumnPaddingPixels = 15;

}  // namespace mqhxcpl
