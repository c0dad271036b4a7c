#include "ui/list_view.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QTreeWidget>

#include <algorithm>
#include <cctype>

#include "qt_convert.h"
#include "ui/runtime.h"
#include "uilang/runtime_error.h"

namespace ui {
namespace {

Qt::Alignment QtAlignment(Align align) {
    switch (align) {
        case Align::Centre:
            return Qt::AlignHCenter | Qt::AlignVCenter;
        case Align::Right:
            return Qt::AlignRight | Qt::AlignVCenter;
        case Align::Left:
            break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

ListView::ListView(Form& form, const ControlDesign& desc) : Control(form, desc) {}

void ListView::Build(QWidget* parent) {
    auto* tree = new QTreeWidget(parent);
    tree->setRootIsDecorated(false);
    tree->setItemsExpandable(false);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->header()->setStretchLastSection(false);
    QObject::connect(tree, &QTreeWidget::itemPressed, tree, [this, tree](QTreeWidgetItem* item) {
        int row = tree->indexOfTopLevelItem(item);
        Runtime::Current().Dispatch([this, row] { UserSelectRow(row); });
    });
    QObject::connect(tree, &QTreeWidget::itemDoubleClicked, tree, [this](QTreeWidgetItem*, int) {
        if (onDblClick)
            Runtime::Current().Dispatch(onDblClick);
    });
    AttachWidget(tree);
    Show();
}

int ListView::StringWidth(const std::string& text) const {
    QWidget* widget = Widget();
    QFontMetrics metrics = widget ? widget->fontMetrics() : QFontMetrics(QFont());
    return Twips(metrics.horizontalAdvance(Q(text)));
}

void ListView::Show() {
    auto* tree = static_cast<QTreeWidget*>(Widget());
    if (!tree)
        return;
    QSignalBlocker block(tree);
    tree->clear();
    tree->setColumnCount(std::max(1, ColumnCount()));
    QStringList titles;
    for (const Column& column : columns_)
        titles << Q(column.title);
    tree->setHeaderLabels(titles);
    for (int c = 0; c < ColumnCount(); ++c) {
        tree->setColumnWidth(c, Pixels(columns_[static_cast<std::size_t>(c)].width));
        tree->headerItem()->setTextAlignment(
            c, QtAlignment(columns_[static_cast<std::size_t>(c)].align));
    }
    for (const Row& row : rows_) {
        auto* item = new QTreeWidgetItem(tree);
        for (int c = 0; c < static_cast<int>(row.texts.size()); ++c) {
            item->setText(c, Q(row.texts[static_cast<std::size_t>(c)]));
            if (c < ColumnCount())
                item->setTextAlignment(c, QtAlignment(columns_[static_cast<std::size_t>(c)].align));
        }
        if (row.image >= 0 && row.image < static_cast<int>(images_.size()))
            item->setIcon(0, QIcon(QPixmap::fromImage(
                                 images_[static_cast<std::size_t>(row.image)].impl()->image)));
    }
    if (!images_.empty())
        tree->setIconSize(QSize(images_.front().Width(), images_.front().Height()));
    ShowSelection();
}

void ListView::ShowSelection() {
    auto* tree = static_cast<QTreeWidget*>(Widget());
    if (!tree)
        return;
    QSignalBlocker block(tree);
    tree->clearSelection();
    if (selected_ >= 0 && selected_ < tree->topLevelItemCount()) {
        QTreeWidgetItem* item = tree->topLevelItem(selected_);
        item->setSelected(true);
        tree->setCurrentItem(item);
    }
}

int ListView::InsertColumn(int column, const std::string& title, int widthTwips, Align align) {
    if (!Alive())
        return -1;
    column = std::clamp(column, 0, ColumnCount());
    columns_.insert(columns_.begin() + column, Column{title, widthTwips, align});
    for (Row& row : rows_)
        if (column < static_cast<int>(row.texts.size()))
            row.texts.insert(row.texts.begin() + column, std::string());
    Show();
    return column;
}

const std::string& ListView::ColumnTitle(int column) const {
    static const std::string kNone;
    return column >= 0 && column < ColumnCount() ? columns_[static_cast<std::size_t>(column)].title
                                                 : kNone;
}

int ListView::ColumnWidth(int column) const {
    return column >= 0 && column < ColumnCount() ? columns_[static_cast<std::size_t>(column)].width
                                                 : 0;
}

void ListView::SetSmallImages(std::vector<Picture> images) {
    if (!Alive())
        return;
    images_ = std::move(images);
    Show();
}

int ListView::InsertItem(int row, const std::string& text, int image) {
    if (!Alive())
        return -1;
    row = std::clamp(row, 0, ItemCount());
    rows_.insert(rows_.begin() + row, Row{{text}, image});
    if (selected_ >= row)
        ++selected_;
    Show();
    return row;
}

bool ListView::SetItemText(int row, int column, const std::string& text) {
    if (!Alive() || row < 0 || row >= ItemCount() || column < 0 ||
        column >= std::max(1, ColumnCount()))
        return false;
    auto& texts = rows_[static_cast<std::size_t>(row)].texts;
    if (static_cast<int>(texts.size()) <= column)
        texts.resize(static_cast<std::size_t>(column) + 1);
    texts[static_cast<std::size_t>(column)] = text;
    Show();
    return true;
}

bool ListView::SetItemImage(int row, int image) {
    if (!Alive() || row < 0 || row >= ItemCount())
        return false;
    rows_[static_cast<std::size_t>(row)].image = image;
    Show();
    return true;
}

std::string ListView::ItemText(int row, int column) const {
    if (row < 0 || row >= ItemCount() || column < 0)
        return {};
    const auto& texts = rows_[static_cast<std::size_t>(row)].texts;
    return column < static_cast<int>(texts.size()) ? texts[static_cast<std::size_t>(column)]
                                                   : std::string();
}

int ListView::ItemImage(int row) const {
    return row >= 0 && row < ItemCount() ? rows_[static_cast<std::size_t>(row)].image : -1;
}

void ListView::DeleteAllItems() {
    if (!Alive())
        return;
    rows_.clear();
    selected_ = -1;
    Show();
}

void ListView::SetSelectedRow(int row) {
    if (!Alive())
        return;
    if (row < -1 || row >= ItemCount())
        uilang::Raise(uilang::kErrInvalidPropertyValue);
    if (row == selected_)
        return;
    selected_ = row;
    ShowSelection();
    if (onItemChanged)
        onItemChanged();
}

int ListView::FindItem(const std::string& text, int start) const {
    const int count = ItemCount();
    for (int step = 1; step <= count; ++step) {
        int row = ((start < 0 ? -1 : start) + step) % count;
        if (row < 0)
            row += count;
        if (SameIgnoringCase(ItemText(row, 0), text))
            return row;
    }
    return -1;
}

void ListView::UserSelectRow(int row) {
    if (!TakesInput() || row < 0 || row >= ItemCount())
        return;
    SetFocus();
    SetSelectedRow(row);
}

}  // namespace ui
