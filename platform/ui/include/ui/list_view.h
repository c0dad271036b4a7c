// A list view in report view: titled columns, rows that hold a text per column and a small image
// before the first, and at most one selected row. Column widths are in twips, like every size of
// the runtime.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/forms.h"

namespace ui {

class ListView : public Control {
  public:
    ListView(Form& form, const ControlDesign& desc);

    // The width of a text in the list's own font, in twips.
    int StringWidth(const std::string& text) const;

    // Inserts a column before `column` (at the end when past it); returns its index.
    int InsertColumn(int column, const std::string& title, int widthTwips,
                     Align align = Align::Left);
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    const std::string& ColumnTitle(int column) const;
    int ColumnWidth(int column) const;  // twips; 0 for a column that is not there

    // The small images the rows show, by index.
    void SetSmallImages(std::vector<Picture> images);
    const std::vector<Picture>& SmallImages() const { return images_; }

    // Inserts a row before `row` (at the end when past it) with the first column's text and an
    // image index (-1: none); returns the row's index, or -1 when the form is not loaded.
    int InsertItem(int row, const std::string& text, int image = -1);
    // Sets a column's text of a row; false for a row or column that is not there.
    bool SetItemText(int row, int column, const std::string& text);
    bool SetItemImage(int row, int image);
    std::string ItemText(int row, int column) const;
    int ItemImage(int row) const;  // -1: none, or no such row
    int ItemCount() const { return static_cast<int>(rows_.size()); }
    // Removes every row; the selection goes with them and ItemChanged does not fire.
    void DeleteAllItems();

    // The selected row, -1 when none.
    int SelectedRow() const { return selected_; }
    // Selects a row (-1: none); ItemChanged fires when the selection changes. A row that is not
    // there raises 380.
    void SetSelectedRow(int row);
    // The first row from `start` + 1 on (wrapping at the end, -1: from the top) whose first
    // column equals the text without regard to case; -1 when there is none.
    int FindItem(const std::string& text, int start = -1) const;

    std::function<void()> onItemChanged;
    std::function<void()> onDblClick;

    void Build(QWidget* parent) override;
    void UserSelectRow(int row);  // the user's click on a row

  private:
    struct Column {
        std::string title;
        int width;
        Align align;
    };
    struct Row {
        std::vector<std::string> texts;
        int image = -1;
    };
    void Show();
    void ShowSelection();

    std::vector<Column> columns_;
    std::vector<Row> rows_;
    std::vector<Picture> images_;
    int selected_ = -1;
};

}  // namespace ui
