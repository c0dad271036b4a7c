#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTableWidget>

#include <algorithm>

#include "controls_factory.h"
#include "qt_convert.h"
#include "ui/list_view.h"
#include "ui/runtime.h"
#include "ui/view_object.h"
#include "uilang/runtime_error.h"
#include "widgets.h"

namespace ui {
namespace {

void Dispatch(const std::function<void()>& handler) {
    if (handler)
        Runtime::Current().Dispatch(handler);
}

void Fire(const std::function<void()>& handler) {
    if (handler)
        handler();
}

[[noreturn]] void InvalidValue() {
    uilang::Raise(uilang::kErrInvalidPropertyValue);
}

}  // namespace

// ---- CommandButton

CommandButton::CommandButton(Form& form, const ControlDesign& desc)
    : Control(form, desc),
      caption_(desc.caption),
      graphical_(desc.graphical),
      default_(desc.isDefault),
      cancel_(desc.isCancel) {}

void CommandButton::Build(QWidget* parent) {
    auto* button = new QPushButton(QCaption(caption_), parent);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setDefault(default_);
    QObject::connect(button, &QPushButton::clicked, button, [this] {
        SetFocus();
        Dispatch(onClick);
    });
    AttachWidget(button);
}

void CommandButton::SetCaption(const std::string& caption) {
    if (!Alive())
        return;
    caption_ = caption;
    if (auto* button = static_cast<QPushButton*>(Widget()))
        button->setText(QCaption(caption));
}

void CommandButton::SetPicture(const Picture& picture) {
    if (!Alive())
        return;
    picture_ = picture;
    auto* button = static_cast<QPushButton*>(Widget());
    if (button && graphical_ && !picture.Empty())
        button->setIcon(QIcon(QPixmap::fromImage(picture.impl()->image)));
}

// ---- OptionButton

OptionButton::OptionButton(Form& form, const ControlDesign& desc)
    : Control(form, desc), caption_(desc.caption), value_(desc.value) {}

void OptionButton::Build(QWidget* parent) {
    auto* button = new QRadioButton(QCaption(caption_), parent);
    button->setAutoExclusive(false);
    button->setChecked(value_);
    QObject::connect(button, &QRadioButton::clicked, button, [this] {
        SetFocus();
        Runtime::Current().Dispatch([this] { Select(); });
    });
    AttachWidget(button);
}

void OptionButton::Show() {
    if (auto* button = static_cast<QRadioButton*>(Widget())) {
        QSignalBlocker block(button);
        button->setChecked(value_);
    }
}

void OptionButton::Select() {
    SetValue(true);
}

void OptionButton::SetValue(bool value) {
    if (!Alive())
        return;
    value_ = value;
    Show();
    if (!value)
        return;
    for (const auto& other : ParentForm().Controls()) {
        if (other.get() == this || other->GetKind() != Kind::OptionButton ||
            other->Container() != Container())
            continue;
        auto* option = static_cast<OptionButton*>(other.get());
        option->value_ = false;
        option->Show();
    }
    Fire(onClick);
}

void OptionButton::SetCaption(const std::string& caption) {
    if (!Alive())
        return;
    caption_ = caption;
    if (auto* button = static_cast<QRadioButton*>(Widget()))
        button->setText(QCaption(caption));
}

// ---- CheckBox

CheckBox::CheckBox(Form& form, const ControlDesign& desc)
    : Control(form, desc), caption_(desc.caption), value_(desc.value) {}

void CheckBox::Build(QWidget* parent) {
    auto* box = new QCheckBox(QCaption(caption_), parent);
    box->setChecked(value_);
    QObject::connect(box, &QCheckBox::clicked, box, [this, box](bool checked) {
        value_ = checked;
        SetFocus();
        Dispatch(onClick);
    });
    AttachWidget(box);
}

void CheckBox::SetValue(bool value) {
    if (!Alive())
        return;
    bool changed = value != value_;
    value_ = value;
    if (auto* box = static_cast<QCheckBox*>(Widget())) {
        QSignalBlocker block(box);
        box->setChecked(value);
    }
    if (changed)
        Fire(onClick);
}

// ---- Frame

Frame::Frame(Form& form, const ControlDesign& desc) : Control(form, desc), caption_(desc.caption) {}

void Frame::Build(QWidget* parent) {
    AttachWidget(new QGroupBox(QCaption(caption_), parent));
}

void Frame::SetCaption(const std::string& caption) {
    if (!Alive())
        return;
    caption_ = caption;
    if (auto* box = static_cast<QGroupBox*>(Widget()))
        box->setTitle(QCaption(caption));
}

// ---- TextBox

TextBox::TextBox(Form& form, const ControlDesign& desc)
    : Control(form, desc), text_(desc.caption), locked_(desc.locked) {}

void TextBox::Build(QWidget* parent) {
    auto* edit = new QLineEdit(Q(text_), parent);
    edit->setReadOnly(locked_);
    QObject::connect(edit, &QLineEdit::textEdited, edit,
                     [this](const QString& text) { UserEdited(S(text)); });
    AttachWidget(edit);
}

void TextBox::UserEdited(const std::string& text) {
    if (locked_ || text == text_)
        return;
    text_ = text;
    modified_ = true;
    Dispatch(onChange);
}

void TextBox::SetText(const std::string& text) {
    if (!Alive())
        return;
    bool changed = text != text_;
    text_ = text;
    modified_ = false;
    if (auto* edit = static_cast<QLineEdit*>(Widget())) {
        QSignalBlocker block(edit);
        edit->setText(Q(text));
    }
    if (changed)
        Fire(onChange);
}

// ---- Label

Label::Label(Form& form, const ControlDesign& desc) : Control(form, desc), caption_(desc.caption) {}

void Label::Build(QWidget* parent) {
    AttachWidget(new QLabel(Q(caption_), parent));
}

void Label::SetCaption(const std::string& caption) {
    if (!Alive())
        return;
    caption_ = caption;
    if (auto* label = static_cast<QLabel*>(Widget()))
        label->setText(Q(caption));
}

// ---- ScrollBar

ScrollBar::ScrollBar(Form& form, const ControlDesign& desc) : Control(form, desc) {}

void ScrollBar::Build(QWidget* parent) {
    auto orientation = GetKind() == Kind::VScrollBar ? Qt::Vertical : Qt::Horizontal;
    auto* bar = new QScrollBar(orientation, parent);
    // The user's moves arrive as steps, so that Change and Scroll follow the runtime's rules.
    QObject::connect(bar, &QScrollBar::actionTriggered, bar, [this, bar](int action) {
        int steps = action == QAbstractSlider::SliderSingleStepAdd   ? 1
                    : action == QAbstractSlider::SliderSingleStepSub ? -1
                                                                     : 0;
        bar->setSliderPosition(bar->value());
        if (steps != 0)
            Runtime::Current().Dispatch([this, steps] { UserStep(steps); });
    });
    AttachWidget(bar);
    ShowRange();
}

void ScrollBar::ShowRange() {
    auto* bar = static_cast<QScrollBar*>(Widget());
    if (!bar)
        return;
    QSignalBlocker block(bar);
    bar->setRange(std::min(min_, max_), std::max(min_, max_));
    bar->setInvertedAppearance(min_ > max_);
    bar->setInvertedControls(min_ > max_);
    bar->setSingleStep(small_);
    bar->setPageStep(large_);
    bar->setValue(value_);
}

void ScrollBar::PullInside() {
    std::int32_t low = std::min(min_, max_);
    std::int32_t high = std::max(min_, max_);
    std::int32_t pulled = std::clamp(value_, low, high);
    if (pulled != value_) {
        value_ = pulled;
        ShowRange();
        Fire(onChange);
    }
}

void ScrollBar::SetMin(std::int32_t min) {
    if (!Alive())
        return;
    min_ = min;
    ShowRange();
    PullInside();
}

void ScrollBar::SetMax(std::int32_t max) {
    if (!Alive())
        return;
    max_ = max;
    ShowRange();
    PullInside();
}

void ScrollBar::SetValue(std::int32_t value) {
    if (!Alive())
        return;
    if (value < std::min(min_, max_) || value > std::max(min_, max_))
        InvalidValue();
    if (value == value_)
        return;
    value_ = value;
    ShowRange();
    Fire(onChange);
}

void ScrollBar::SetSmallChange(std::int32_t step) {
    if (!Alive())
        return;
    small_ = step;
    ShowRange();
}

void ScrollBar::SetLargeChange(std::int32_t step) {
    if (!Alive())
        return;
    large_ = step;
    ShowRange();
}

void ScrollBar::UserStep(int steps) {
    // A step moves from Min towards Max, whichever way the bar runs.
    std::int64_t direction = min_ <= max_ ? 1 : -1;
    std::int64_t target = static_cast<std::int64_t>(value_) + direction * steps * small_;
    std::int64_t low = std::min(min_, max_);
    std::int64_t high = std::max(min_, max_);
    target = std::clamp(target, low, high);
    Fire(onScroll);
    SetValue(static_cast<std::int32_t>(target));
}

// ---- ComboBox

ComboBox::ComboBox(Form& form, const ControlDesign& desc)
    : Control(form, desc), editable_(desc.editable), items_(desc.items), text_(desc.caption) {}

void ComboBox::Build(QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(editable_);
    QObject::connect(combo, &QComboBox::activated, combo, [this](int index) {
        SetFocus();
        Runtime::Current().Dispatch([this, index] { UserChoose(index); });
    });
    if (editable_)
        QObject::connect(combo->lineEdit(), &QLineEdit::textEdited, combo,
                         [this](const QString& text) { UserEdited(S(text)); });
    AttachWidget(combo);
    Show();
}

void ComboBox::Show() {
    auto* combo = static_cast<QComboBox*>(Widget());
    if (!combo)
        return;
    QSignalBlocker block(combo);
    combo->clear();
    for (const std::string& item : items_)
        combo->addItem(Q(item));
    combo->setCurrentIndex(listIndex_);
    if (editable_)
        combo->setEditText(Q(text_));
}

std::string ComboBox::Text() const {
    if (editable_)
        return text_;
    return listIndex_ >= 0 ? items_[static_cast<std::size_t>(listIndex_)] : std::string();
}

void ComboBox::SetText(const std::string& text) {
    if (!Alive() || !editable_)
        return;
    text_ = text;
    Show();
}

void ComboBox::UserEdited(const std::string& text) {
    if (editable_)
        text_ = text;
}

const std::string& ComboBox::List(int index) const {
    static const std::string kNone;
    return index >= 0 && index < ListCount() ? items_[static_cast<std::size_t>(index)] : kNone;
}

void ComboBox::SetListIndex(int index) {
    if (!Alive())
        return;
    if (index < -1 || index >= ListCount())
        InvalidValue();
    listIndex_ = index;
    if (index >= 0 && editable_)
        text_ = items_[static_cast<std::size_t>(index)];
    Show();
    if (index >= 0)
        Fire(onClick);
}

void ComboBox::UserChoose(int index) {
    SetListIndex(index);
}

void ComboBox::Clear() {
    if (!Alive())
        return;
    items_.clear();
    listIndex_ = -1;
    if (editable_)
        text_.clear();
    Show();
}

void ComboBox::AddItem(const std::string& item) {
    if (!Alive())
        return;
    items_.push_back(item);
    Show();
}

// ---- ListBox

ListBox::ListBox(Form& form, const ControlDesign& desc) : Control(form, desc), items_(desc.items) {}

void ListBox::Build(QWidget* parent) {
    auto* list = new QListWidget(parent);
    for (const std::string& item : items_)
        list->addItem(Q(item));
    QObject::connect(list, &QListWidget::itemClicked, list, [this, list](QListWidgetItem* item) {
        const int index = list->row(item);
        Runtime::Current().Dispatch([this, index] { UserClickItem(index, false); });
    });
    // The click before a double click has selected the entry already.
    QObject::connect(list, &QListWidget::itemDoubleClicked, list,
                     [this](QListWidgetItem*) { Dispatch(onDblClick); });
    AttachWidget(list);
    ShowSelection();
}

void ListBox::ShowSelection() {
    auto* list = static_cast<QListWidget*>(Widget());
    if (!list)
        return;
    QSignalBlocker block(list);
    list->setCurrentRow(listIndex_);
}

void ListBox::InsertItem(int index, const std::string& item) {
    if (!Alive())
        return;
    if (index < 0 || index > ListCount())
        InvalidValue();
    items_.insert(items_.begin() + index, item);
    if (listIndex_ >= index)
        ++listIndex_;
    if (auto* list = static_cast<QListWidget*>(Widget()))
        list->insertItem(index, Q(item));
    ShowSelection();
}

void ListBox::RemoveItem(int index) {
    if (!Alive())
        return;
    if (index < 0 || index >= ListCount())
        InvalidValue();
    items_.erase(items_.begin() + index);
    if (listIndex_ == index)
        listIndex_ = -1;
    else if (listIndex_ > index)
        --listIndex_;
    if (auto* list = static_cast<QListWidget*>(Widget()))
        delete list->takeItem(index);
    ShowSelection();
}

void ListBox::SetListIndex(int index) {
    if (!Alive())
        return;
    if (index < -1 || index >= ListCount())
        InvalidValue();
    listIndex_ = index;
    ShowSelection();
    if (index >= 0)
        Fire(onClick);
}

void ListBox::UserClickItem(int index, bool twice) {
    if (!TakesInput() || index < 0 || index >= ListCount())
        return;
    SetFocus();
    SetListIndex(index);
    if (twice)
        Fire(onDblClick);
}

const std::string& ListBox::List(int index) const {
    static const std::string kNone;
    return index >= 0 && index < ListCount() ? items_[static_cast<std::size_t>(index)] : kNone;
}

void ListBox::Clear() {
    if (!Alive())
        return;
    items_.clear();
    listIndex_ = -1;
    if (auto* list = static_cast<QListWidget*>(Widget()))
        list->clear();
}

void ListBox::AddItem(const std::string& item) {
    if (!Alive())
        return;
    items_.push_back(item);
    if (auto* list = static_cast<QListWidget*>(Widget()))
        list->addItem(Q(item));
}

// ---- PictureBox and Image

PictureBox::PictureBox(Form& form, const ControlDesign& desc) : Control(form, desc) {}

void PictureBox::Build(QWidget* parent) {
    auto* widget = new SurfaceWidget(parent, [this](Surface& surface) {
        surface.FillRect({0, 0, surface.Width(), surface.Height()}, kWhite);
        if (!canvas_.Empty())
            surface.DrawPicture(canvas_, {0, 0});
    });
    AttachWidget(widget);
    Redraw();
}

int PictureBox::ScaleHeight() const {
    return Height();
}

void PictureBox::Redraw() {
    int width = std::max(1, Pixels(Width()));
    int height = std::max(1, Pixels(Height()));
    canvas_ = Picture(width, height, kWhite);
    if (!picture_.Empty())
        canvas_.Paint()->DrawPicture(picture_, {0, 0});
    if (Widget())
        Widget()->update();
}

void PictureBox::SetPicture(const Picture& picture) {
    if (!Alive())
        return;
    picture_ = picture;
    Redraw();
}

void PictureBox::Cls() {
    if (!Alive())
        return;
    Redraw();
}

void PictureBox::PaintPicture(const Picture& picture, int x, int y) {
    if (!Alive())
        return;
    canvas_.Paint()->DrawPicture(picture, {Pixels(x), Pixels(y)});
    if (Widget())
        Widget()->update();
}

Picture PictureBox::Image() const {
    return canvas_;
}

Image::Image(Form& form, const ControlDesign& desc) : Control(form, desc) {}

void Image::Build(QWidget* parent) {
    auto* widget = new SurfaceWidget(parent, [this](Surface& surface) {
        if (!picture_.Empty())
            surface.DrawPicture(picture_, {0, 0});
    });
    widget->onClick = [this] { Dispatch(onClick); };
    AttachWidget(widget);
}

void Image::SetPicture(const Picture& picture) {
    if (!Alive())
        return;
    picture_ = picture;
    if (Widget())
        Widget()->update();
}

// ---- Grid

Grid::Grid(Form& form, const ControlDesign& desc) : Control(form, desc) {
    alignment_.assign(static_cast<std::size_t>(cols_), 0);
    widths_.assign(static_cast<std::size_t>(cols_), desc.width / std::max(1, cols_));
}

void Grid::Build(QWidget* parent) {
    auto* table = new QTableWidget(parent);
    table->horizontalHeader()->hide();
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QObject::connect(table, &QTableWidget::cellClicked, table,
                     [this](int row, int) { UserClickRow(row, false); });
    QObject::connect(table, &QTableWidget::cellDoubleClicked, table,
                     [this](int row, int) { UserClickRow(row, true); });
    AttachWidget(table);
    Show();
}

void Grid::Show() {
    auto* table = static_cast<QTableWidget*>(Widget());
    if (!table)
        return;
    QSignalBlocker block(table);
    table->setRowCount(Rows());
    table->setColumnCount(cols_);
    for (int c = 0; c < cols_; ++c)
        table->setColumnWidth(c, Pixels(widths_[static_cast<std::size_t>(c)]));
    for (int r = 0; r < Rows(); ++r) {
        for (int c = 0; c < cols_; ++c) {
            const Cell& cell = cells_[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
            auto* item = new QTableWidgetItem(Q(cell.text));
            item->setBackground(ToQColor(cell.colour));
            int alignment = alignment_[static_cast<std::size_t>(c)];
            constexpr int kCentre = 4;
            constexpr int kLeftAlignments = 2;
            item->setTextAlignment(alignment == kCentre ? Qt::AlignCenter
                                   : alignment <= kLeftAlignments
                                       ? Qt::AlignLeft | Qt::AlignVCenter
                                       : Qt::AlignLeft | Qt::AlignVCenter);
            table->setItem(r, c, item);
        }
    }
}

void Grid::CheckCell() const {
    if (row_ < 0 || row_ >= Rows() || col_ < 0 || col_ >= cols_)
        uilang::Raise(uilang::kErrInvalidPropertyValue);
}

void Grid::SetRows(int rows) {
    if (!Alive())
        return;
    if (rows < 0)
        InvalidValue();
    cells_.resize(static_cast<std::size_t>(rows),
                  std::vector<Cell>(static_cast<std::size_t>(cols_)));
    row_ = std::min(row_, std::max(0, rows - 1));
    Show();
}

void Grid::SetCols(int cols) {
    if (!Alive())
        return;
    if (cols < 1)
        InvalidValue();
    cols_ = cols;
    for (auto& row : cells_)
        row.resize(static_cast<std::size_t>(cols));
    alignment_.resize(static_cast<std::size_t>(cols), 0);
    widths_.resize(static_cast<std::size_t>(cols), Width() / cols);
    col_ = std::min(col_, cols - 1);
    Show();
}

void Grid::SetRow(int row) {
    if (!Alive())
        return;
    if (row < 0 || row >= Rows())
        InvalidValue();
    row_ = row;
}

void Grid::SetCol(int col) {
    if (!Alive())
        return;
    if (col < 0 || col >= cols_)
        InvalidValue();
    col_ = col;
}

std::string Grid::Text() const {
    if (row_ < 0 || row_ >= Rows())
        return {};
    return cells_[static_cast<std::size_t>(row_)][static_cast<std::size_t>(col_)].text;
}

void Grid::SetText(const std::string& text) {
    if (!Alive())
        return;
    CheckCell();
    cells_[static_cast<std::size_t>(row_)][static_cast<std::size_t>(col_)].text = text;
    Show();
}

Colour Grid::CellBackColor() const {
    CheckCell();
    return cells_[static_cast<std::size_t>(row_)][static_cast<std::size_t>(col_)].colour;
}

void Grid::SetCellBackColor(Colour colour) {
    if (!Alive())
        return;
    CheckCell();
    cells_[static_cast<std::size_t>(row_)][static_cast<std::size_t>(col_)].colour = colour;
    Show();
}

int Grid::ColAlignment(int col) const {
    return col >= 0 && col < cols_ ? alignment_[static_cast<std::size_t>(col)] : 0;
}

void Grid::SetColAlignment(int col, int alignment) {
    if (!Alive())
        return;
    if (col < 0 || col >= cols_)
        InvalidValue();
    alignment_[static_cast<std::size_t>(col)] = alignment;
    Show();
}

int Grid::ColWidth(int col) const {
    return col >= 0 && col < cols_ ? widths_[static_cast<std::size_t>(col)] : 0;
}

void Grid::SetColWidth(int col, int twips) {
    if (!Alive())
        return;
    if (col < 0 || col >= cols_)
        InvalidValue();
    widths_[static_cast<std::size_t>(col)] = twips;
    Show();
}

std::string Grid::TextMatrix(int row, int col) const {
    if (row < 0 || row >= Rows() || col < 0 || col >= cols_)
        return {};
    return cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)].text;
}

void Grid::AddItem(const std::string& text) {
    if (!Alive())
        return;
    std::vector<Cell> row(static_cast<std::size_t>(cols_));
    std::size_t start = 0;
    for (int c = 0; c < cols_ && start <= text.size(); ++c) {
        std::size_t tab = text.find('\t', start);
        row[static_cast<std::size_t>(c)].text = text.substr(start, tab - start);
        if (tab == std::string::npos)
            break;
        start = tab + 1;
    }
    cells_.push_back(std::move(row));
    Show();
}

void Grid::RemoveItem(int row) {
    if (!Alive())
        return;
    if (row < 0 || row >= Rows())
        InvalidValue();
    cells_.erase(cells_.begin() + row);
    row_ = std::min(row_, std::max(0, Rows() - 1));
    Show();
}

void Grid::Clear() {
    if (!Alive())
        return;
    for (auto& row : cells_)
        for (Cell& cell : row)
            cell = Cell{};
    Show();
}

void Grid::UserClickRow(int row, bool twice) {
    if (!TakesInput() || row < 0 || row >= Rows())
        return;
    SetFocus();
    row_ = row;
    Dispatch(onClick);
    if (twice)
        Dispatch(onDblClick);
}

// ---- TabStrip

TabStrip::TabStrip(Form& form, const ControlDesign& desc)
    : Control(form, desc), captions_(desc.items), keys_(desc.keys) {
    keys_.resize(captions_.size());
}

void TabStrip::Build(QWidget* parent) {
    auto* bar = new QTabBar(parent);
    for (const std::string& caption : captions_)
        bar->addTab(Q(caption));
    bar->setCurrentIndex(selected_ - 1);
    QObject::connect(bar, &QTabBar::tabBarClicked, bar, [this](int index) {
        if (index >= 0)
            Runtime::Current().Dispatch([this, index] { SetSelectedIndex(index + 1); });
    });
    AttachWidget(bar);
}

const std::string& TabStrip::Caption(int index) const {
    static const std::string kNone;
    return index >= 1 && index <= Count() ? captions_[static_cast<std::size_t>(index - 1)] : kNone;
}

const std::string& TabStrip::Key(int index) const {
    static const std::string kNone;
    return index >= 1 && index <= Count() ? keys_[static_cast<std::size_t>(index - 1)] : kNone;
}

void TabStrip::SetSelectedIndex(int index) {
    if (!Alive())
        return;
    if (index < 1 || index > Count())
        InvalidValue();
    selected_ = index;
    if (auto* bar = static_cast<QTabBar*>(Widget())) {
        QSignalBlocker block(bar);
        bar->setCurrentIndex(index - 1);
    }
    Fire(onClick);
}

// ---- ProgressBar

ProgressBar::ProgressBar(Form& form, const ControlDesign& desc) : Control(form, desc) {}

void ProgressBar::Build(QWidget* parent) {
    AttachWidget(new QProgressBar(parent));
    Show();
}

void ProgressBar::Show() {
    auto* bar = static_cast<QProgressBar*>(Widget());
    if (!bar)
        return;
    constexpr int kSteps = 1000;
    float span = max_ - min_;
    bar->setRange(0, kSteps);
    bar->setValue(span > 0 ? static_cast<int>((value_ - min_) / span * kSteps) : 0);
}

void ProgressBar::SetMin(float min) {
    if (!Alive())
        return;
    min_ = min;
    value_ = std::max(value_, min_);
    Show();
}

void ProgressBar::SetMax(float max) {
    if (!Alive())
        return;
    max_ = max;
    value_ = std::min(value_, max_);
    Show();
}

void ProgressBar::SetValue(float value) {
    if (!Alive())
        return;
    if (value < min_ || value > max_)
        InvalidValue();
    value_ = value;
    Show();
}

// ---- CommonDialog

CommonDialog::CommonDialog(Form& form, const ControlDesign& desc) : Control(form, desc) {}

void CommonDialog::Build(QWidget*) {}

void CommonDialog::ShowHelp() {
    Runtime::Current().WinHelp(ParentForm().hWnd(), helpFile,
                               static_cast<std::uint32_t>(helpCommand),
                               static_cast<std::uint64_t>(helpContext));
}

void CommonDialog::AskFile(bool save) {
    std::string name = fileName;
    if (Runtime::Current().AskFile(save, filter, name)) {
        fileName = name;
        return;
    }
    if (cancelError)
        uilang::Raise(uilang::kErrCancel);
}

void CommonDialog::ShowOpen() {
    AskFile(false);
}

void CommonDialog::ShowSave() {
    AskFile(true);
}

// ---- HostedControl

HostedControl::HostedControl(Form& form, const ControlDesign& desc)
    : Control(form, desc), create_(desc.create), progId_(desc.progId) {}

HostedControl::~HostedControl() = default;

uilang::Automation& HostedControl::Members() const {
    constexpr std::int32_t kErrObjectNotSet = 91;
    uilang::Automation* members = object_ ? object_->Dispatch() : nullptr;
    if (members == nullptr)
        throw uilang::RuntimeError(kErrObjectNotSet, Name(),
                                   "Object variable or With block variable not set");
    return *members;
}

void HostedControl::Build(QWidget* parent) {
    object_ = create_ ? create_() : CreateControl(progId_);
    object_->fireEvent = [this](std::int32_t dispid, uilang::Arguments& arguments) {
        if (onEvent)
            onEvent(dispid, arguments);
    };
    auto* widget = new SurfaceWidget(parent, [this](Surface& surface) {
        if (object_)
            object_->Draw(surface);
    });
    widget->onClick = [this] {
        if (!TakesInput())
            return;
        if (object_)
            object_->OnClick();
        Dispatch(onClick);
    };
    if (object_) {
        QPointer<QWidget> guard(widget);
        object_->invalidate = [guard] {
            if (guard)
                guard->update();
        };
    }
    AttachWidget(widget);
}

void HostedControl::Teardown() {
    Control::Teardown();
    if (object_) {
        object_->invalidate = nullptr;
        object_->fireEvent = nullptr;
    }
    object_.reset();
}

// ---- Factory

namespace {

std::unique_ptr<Control> Make(Form& form, const ControlDesign& desc) {
    switch (desc.kind) {
        case Kind::CommandButton:
            return std::make_unique<CommandButton>(form, desc);
        case Kind::OptionButton:
            return std::make_unique<OptionButton>(form, desc);
        case Kind::CheckBox:
            return std::make_unique<CheckBox>(form, desc);
        case Kind::Frame:
            return std::make_unique<Frame>(form, desc);
        case Kind::TextBox:
            return std::make_unique<TextBox>(form, desc);
        case Kind::Label:
            return std::make_unique<Label>(form, desc);
        case Kind::VScrollBar:
        case Kind::HScrollBar:
            return std::make_unique<ScrollBar>(form, desc);
        case Kind::ComboBox:
            return std::make_unique<ComboBox>(form, desc);
        case Kind::ListBox:
            return std::make_unique<ListBox>(form, desc);
        case Kind::PictureBox:
            return std::make_unique<PictureBox>(form, desc);
        case Kind::Image:
            return std::make_unique<Image>(form, desc);
        case Kind::Grid:
            return std::make_unique<Grid>(form, desc);
        case Kind::Timer:
            return std::make_unique<Timer>(form, desc);
        case Kind::TabStrip:
            return std::make_unique<TabStrip>(form, desc);
        case Kind::ProgressBar:
            return std::make_unique<ProgressBar>(form, desc);
        case Kind::CommonDialog:
            return std::make_unique<CommonDialog>(form, desc);
        case Kind::Hosted:
            return std::make_unique<HostedControl>(form, desc);
        case Kind::ListView:
            return std::make_unique<ListView>(form, desc);
    }
    return nullptr;
}

}  // namespace

std::vector<std::unique_ptr<Control>> BuildControls(Form& form,
                                                    const std::vector<ControlDesign>& descs) {
    std::vector<std::unique_ptr<Control>> controls;
    for (const ControlDesign& desc : descs) {
        auto control = Make(form, desc);
        QWidget* parent = form.ClientArea();
        if (!desc.container.empty()) {
            for (const auto& existing : controls) {
                if (existing->Name() == desc.container &&
                    existing->Index() == desc.containerIndex) {
                    control->SetContainer(existing.get());
                    parent = existing->Widget();
                    break;
                }
            }
            if (control->Container() == nullptr)
                throw std::logic_error("container " + desc.container + " of " + desc.name +
                                       " comes after it or is missing");
        }
        control->Build(parent);
        controls.push_back(std::move(control));
    }
    return controls;
}

}  // namespace ui
