#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QTimer>

#include "controls_factory.h"
#include "qt_convert.h"
#include "surface_painter.h"
#include "ui/runtime.h"
#include "uilang/datetime.h"
#include "widgets.h"

namespace ui {
namespace {

std::uint32_t g_nextHwnd = 0x10000;
constexpr int kStatusRefreshMs = 1000;

// Sees a key before the controls of a form with KeyPreview; a handler that sets the code to 0
// swallows it.
class KeyPreviewFilter : public QObject {
  public:
    explicit KeyPreviewFilter(Form& form) : form_(form) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !form_.onKeyDown)
            return false;
        // A key that a control ignores travels on to its containers: the form sees it once, at
        // the widget that had the focus.
        Control* focused = form_.FocusedControl();
        QWidget* first = focused && focused->Widget() ? focused->Widget() : form_.ClientArea();
        if (watched != first)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        int code = RuntimeKeyCode(key->key());
        int shift = ShiftState(key->modifiers());
        if (code == 0)
            return false;
        Runtime::Current().Dispatch([&] { form_.onKeyDown(code, shift); });
        return code == 0;
    }

  private:
    Form& form_;
};

}  // namespace

void FormWidget::closeEvent(QCloseEvent* event) {
    event->ignore();
    form_.UserClose();
}

void FormWidget::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if ((enter || key == Qt::Key_Escape) && event->modifiers() == Qt::NoModifier &&
        form_.PressDefaultButton(!enter)) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FrameWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    form_.UserClose();
}

void SurfaceWidget::paintEvent(QPaintEvent*) {
    PainterSurface surface(*this, width(), height());
    painter_(surface);
}

void SurfaceWidget::mouseReleaseEvent(QMouseEvent*) {
    if (onClick)
        onClick();
}

struct Form::WindowImpl {
    QPointer<QWidget> top;        // the window: the form, its MDI sub-window or the frame
    QPointer<FormWidget> client;  // where the controls live
    QPointer<QMdiSubWindow> sub;
    std::unique_ptr<KeyPreviewFilter> preview;
};

struct Form::FrameImpl {
    QPointer<FrameWindow> window;
    QPointer<QMdiArea> area;
    QPointer<QToolBar> toolbar;
    QPointer<QStatusBar> status;
    std::vector<QPointer<QLabel>> panels;
    std::vector<std::string> panelTexts;
    std::unique_ptr<QTimer> clock;
};

// Closes sub-window requests into the form's own unload.
class SubWindowCloser : public QObject {
  public:
    SubWindowCloser(Form& form, QObject* parent) : QObject(parent), form_(form) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Close)
            return false;
        event->ignore();
        form_.UserClose();
        return true;
    }

  private:
    Form& form_;
};

Form::Form(FormDesign desc)
    : desc_(std::move(desc)),
      caption_(desc_.caption),
      left_(desc_.left),
      top_(desc_.top),
      width_(desc_.width),
      height_(desc_.height) {}

Form::~Form() {
    if (loaded_)
        TeardownWithoutEvents();
}

QWidget* Form::Window() const {
    return window_ ? window_->top.data() : nullptr;
}

QWidget* Form::ClientArea() const {
    return window_ ? window_->client.data() : nullptr;
}

void Form::Build() {
    window_ = std::make_unique<WindowImpl>();
    if (desc_.mdiFrame) {
        frame_ = std::make_unique<FrameImpl>();
        frame_->window = new FrameWindow(*this);
        frame_->area = new QMdiArea(frame_->window);
        frame_->window->setCentralWidget(frame_->area);
        window_->top = frame_->window.data();
        window_->client = new FormWidget(*this, frame_->window);
        window_->client->hide();
    } else {
        window_->client = new FormWidget(*this);
        window_->top = window_->client.data();
    }
    window_->top->setWindowTitle(Q(caption_));
    controls_ = BuildControls(*this, desc_.controls);
    if (desc_.mdiFrame)
        BuildFrameParts();
    if (desc_.keyPreview) {
        window_->preview = std::make_unique<KeyPreviewFilter>(*this);
        window_->client->installEventFilter(window_->preview.get());
        for (QWidget* child : window_->client->findChildren<QWidget*>())
            child->installEventFilter(window_->preview.get());
    }
    hwnd_ = ++g_nextHwnd;
    ApplyGeometry();
}

void Form::BuildMenu(void* parentMenu, const MenuItemDesign& desc, bool top) {
    auto* bar = static_cast<QMenuBar*>(top ? parentMenu : nullptr);
    auto* menu = static_cast<QMenu*>(top ? nullptr : parentMenu);
    if (!desc.items.empty()) {
        QMenu* sub =
            top ? bar->addMenu(QCaption(desc.caption)) : menu->addMenu(QCaption(desc.caption));
        auto item = std::make_unique<MenuItem>(desc.name, desc.caption, desc.checked);
        item->action = sub->menuAction();
        menuItems_.push_back(std::move(item));
        for (const MenuItemDesign& child : desc.items)
            BuildMenu(sub, child, false);
        return;
    }
    if (desc.caption == "-") {
        menu->addSeparator();
        return;
    }
    QAction* action = menu->addAction(QCaption(desc.caption));
    auto item = std::make_unique<MenuItem>(desc.name, desc.caption, desc.checked);
    action->setCheckable(desc.checked);
    action->setChecked(desc.checked);
    item->action = action;
    MenuItem* raw = item.get();
    QObject::connect(action, &QAction::triggered, action, [raw](bool) {
        // The click handler flips check marks itself.
        static_cast<QAction*>(raw->action)->setChecked(raw->Checked());
        if (raw->onClick)
            Runtime::Current().Dispatch(raw->onClick);
    });
    menuItems_.push_back(std::move(item));
}

void Form::BuildFrameParts() {
    QMenuBar* bar = frame_->window->menuBar();
    for (const MenuItemDesign& menu : desc_.menus)
        BuildMenu(bar, menu, true);
    frame_->toolbar = frame_->window->addToolBar("Toolbar");
    for (const ToolButtonDesign& button : desc_.toolbar) {
        QAction* action = frame_->toolbar->addAction(Q(button.toolTip));
        action->setToolTip(Q(button.toolTip));
        action->setObjectName(Q(button.key));
        if (button.image >= 0 && button.image < static_cast<int>(desc_.toolbarImages.size()))
            action->setIcon(
                QIcon(QPixmap::fromImage(desc_.toolbarImages[button.image].impl()->image)));
        std::string key = button.key;
        QObject::connect(action, &QAction::triggered, action, [this, key](bool) {
            if (onToolbarButton)
                Runtime::Current().Dispatch([&] { onToolbarButton(key); });
        });
    }
    frame_->status = frame_->window->statusBar();
    for (const StatusPanelDesign& panel : desc_.statusPanels) {
        auto* label = new QLabel(Q(panel.text));
        frame_->status->addPermanentWidget(label,
                                           panel.style == StatusPanelDesign::Style::Text ? 1 : 0);
        frame_->panels.push_back(label);
        frame_->panelTexts.push_back(panel.text);
    }
    frame_->clock = std::make_unique<QTimer>();
    QObject::connect(frame_->clock.get(), &QTimer::timeout, [this] { UpdateClockPanels(); });
    frame_->clock->start(kStatusRefreshMs);
    UpdateClockPanels();
}

void Form::UpdateClockPanels() {
    for (std::size_t i = 0; i < desc_.statusPanels.size() && i < frame_->panels.size(); ++i) {
        auto style = desc_.statusPanels[i].style;
        if (style == StatusPanelDesign::Style::Text)
            continue;
        frame_->panelTexts[i] = style == StatusPanelDesign::Style::Date ? uilang::CurrentDateText()
                                                                        : uilang::CurrentTimeText();
        if (frame_->panels[i])
            frame_->panels[i]->setText(Q(frame_->panelTexts[i]));
    }
}

void Form::Load() {
    if (loaded_ || unloaded_)
        return;
    try {
        Build();
    } catch (...) {
        // A control that cannot be made fails the load; nothing of the form stays.
        for (auto& control : controls_)
            control->Teardown();
        controls_.clear();
        menuItems_.clear();
        DestroyWindow();
        throw;
    }
    loaded_ = true;
    Runtime::Current().FormLoaded(this);
    Bind();
    if (onLoad)
        onLoad();
}

void Form::ApplyGeometry() {
    QWidget* top = Window();
    if (!top)
        return;
    QWidget* target = window_->sub ? static_cast<QWidget*>(window_->sub.data()) : top;
    target->move(Pixels(left_), Pixels(top_));
    target->resize(Pixels(width_), Pixels(height_));
}

void Form::Show() {
    Load();
    if (!loaded_)
        return;
    Form* frame = Runtime::Current().MdiFrame();
    if (desc_.mdiChild && frame != nullptr && frame->frame_ && !window_->sub) {
        window_->sub = frame->frame_->area->addSubWindow(window_->client);
        window_->sub->setAttribute(Qt::WA_DeleteOnClose, false);
        window_->sub->installEventFilter(new SubWindowCloser(*this, window_->sub));
        window_->top = window_->sub.data();
        window_->top->setWindowTitle(Q(caption_));
        ApplyGeometry();
    }
    QWidget* top = Window();
    if (state_ == WindowState::Minimized)
        SetWindowState(WindowState::Normal);
    top->show();
    window_->client->show();
    if (window_->sub)
        frame->frame_->area->setActiveSubWindow(window_->sub);
    top->raise();
    top->activateWindow();
}

void Form::ShowModal(Form* owner) {
    Load();
    if (!loaded_)
        return;
    QWidget* top = Window();
    if (owner != nullptr && owner->Window() != nullptr)
        top->setParent(owner->Window(), Qt::Dialog);
    top->setWindowModality(Qt::ApplicationModal);
    ApplyGeometry();
    top->show();
    Runtime::Current().RunModal(*this);
}

void Form::Hide() {
    if (Window())
        Window()->hide();
}

bool Form::Visible() const {
    return loaded_ && Window() != nullptr && Window()->isVisible();
}

void Form::Unload() {
    if (!loaded_ || unloading_)
        return;
    unloading_ = true;
    if (desc_.mdiFrame) {
        std::vector<Form*> children;
        for (Form* form : Runtime::Current().LoadedForms())
            if (form->desc_.mdiChild)
                children.push_back(form);
        for (Form* child : children)
            child->Unload();
    }
    try {
        if (onUnload)
            onUnload();
    } catch (...) {
        unloading_ = false;
        FinishUnload();
        throw;
    }
    FinishUnload();
}

void Form::FinishUnload() {
    // The hosted controls go after the Unload handler has run.
    for (auto& control : controls_)
        control->Teardown();
    DestroyWindow();
    loaded_ = false;
    unloaded_ = true;
    unloading_ = false;
    focused_ = nullptr;
    Runtime::Current().FormUnloaded(this);
}

void Form::TeardownWithoutEvents() {
    if (!loaded_)
        return;
    for (auto& control : controls_)
        control->Teardown();
    DestroyWindow();
    loaded_ = false;
    unloaded_ = true;
    focused_ = nullptr;
    if (Runtime* runtime = &Runtime::Current())
        runtime->FormUnloaded(this);
}

void Form::DestroyWindow() {
    if (!window_)
        return;
    if (frame_) {
        frame_->clock.reset();
        delete frame_->window.data();
    }
    if (window_->sub) {
        window_->sub->setWidget(nullptr);
        delete window_->sub.data();
    }
    delete window_->client.data();
    window_.reset();
    hwnd_ = 0;
}

void Form::UserClose() {
    Runtime::Current().Dispatch([this] { Unload(); });
}

bool Form::PressDefaultButton(bool cancel) {
    for (const auto& control : controls_) {
        if (control->GetKind() != Kind::CommandButton || !control->TakesInput())
            continue;
        auto* button = static_cast<CommandButton*>(control.get());
        if (cancel ? !button->IsCancel() : !button->IsDefault())
            continue;
        // The focus stays where it is, as with the platform's dialogs.
        if (button->onClick)
            Runtime::Current().Dispatch(button->onClick);
        return true;
    }
    return false;
}

void Form::Refresh() {
    if (Window()) {
        Window()->repaint();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::Paint);
    }
}

void Form::SetFocus() {
    if (!Visible() || state_ == WindowState::Minimized)
        return;
    Show();
}

void Form::SetCaption(const std::string& caption) {
    if (unloaded_)
        return;
    caption_ = caption;
    if (Window())
        Window()->setWindowTitle(Q(caption));
}

int Form::Left() const {
    return left_;
}
int Form::Top() const {
    return top_;
}
int Form::Width() const {
    return width_;
}
int Form::Height() const {
    return height_;
}

void Form::SetLeft(int twips) {
    left_ = twips;
    ApplyGeometry();
}
void Form::SetTop(int twips) {
    top_ = twips;
    ApplyGeometry();
}
void Form::SetWidth(int twips) {
    width_ = twips;
    ApplyGeometry();
}
void Form::SetHeight(int twips) {
    height_ = twips;
    ApplyGeometry();
}

WindowState Form::GetWindowState() const {
    return state_;
}

void Form::SetWindowState(WindowState state) {
    state_ = state;
    QWidget* top = Window();
    if (!top)
        return;
    Qt::WindowStates qtState = state == WindowState::Minimized   ? Qt::WindowMinimized
                               : state == WindowState::Maximized ? Qt::WindowMaximized
                                                                 : Qt::WindowNoState;
    top->setWindowState(qtState);
}

void Form::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (ClientArea())
        ClientArea()->setEnabled(enabled);
}

Picture Form::Image() const {
    Picture picture;
    if (QWidget* top = Window())
        picture.impl()->image = top->grab().toImage().convertToFormat(QImage::Format_RGB32);
    return picture;
}

void Form::PrintForm() {
    Runtime::Current().Print(desc_.name, Image());
}

Control* Form::FindIfAny(std::string_view name, int index) const {
    for (const auto& control : controls_)
        if (control->Name() == name && control->Index() == index)
            return control.get();
    return nullptr;
}

Control& Form::Find(std::string_view name, int index) const {
    Control* control = FindIfAny(name, index);
    if (control == nullptr)
        throw std::logic_error("form " + desc_.name + " has no control " + std::string(name));
    return *control;
}

MenuItem& Form::Menu(std::string_view name) const {
    for (const auto& item : menuItems_)
        if (item->Name() == name)
            return *item;
    throw std::logic_error("form " + desc_.name + " has no menu item " + std::string(name));
}

bool Form::ToolbarVisible() const {
    return frame_ && frame_->toolbar && !frame_->toolbar->isHidden();
}

void Form::SetToolbarVisible(bool visible) {
    if (frame_ && frame_->toolbar)
        frame_->toolbar->setVisible(visible);
}

bool Form::StatusBarVisible() const {
    return frame_ && frame_->status && !frame_->status->isHidden();
}

void Form::SetStatusBarVisible(bool visible) {
    if (frame_ && frame_->status)
        frame_->status->setVisible(visible);
}

const std::string& Form::StatusPanelText(int index) const {
    static const std::string kNone;
    if (!frame_ || index < 1 || index > static_cast<int>(frame_->panelTexts.size()))
        return kNone;
    return frame_->panelTexts[index - 1];
}

void Form::SetStatusPanelText(int index, const std::string& text) {
    if (!frame_ || index < 1 || index > static_cast<int>(frame_->panelTexts.size()))
        return;
    frame_->panelTexts[index - 1] = text;
    if (frame_->panels[index - 1])
        frame_->panels[index - 1]->setText(Q(text));
}

void Form::Arrange(Arrangement arrangement) {
    if (!frame_ || !frame_->area)
        return;
    QMdiArea* area = frame_->area;
    QList<QMdiSubWindow*> windows = area->subWindowList();
    if (arrangement == Arrangement::Cascade) {
        area->cascadeSubWindows();
        return;
    }
    // Horizontal tiling stacks the windows one above another, vertical tiling side by side.
    QRect client = area->viewport()->rect();
    int count = 0;
    for (QMdiSubWindow* window : windows)
        if (window->isVisible())
            ++count;
    if (count == 0)
        return;
    int i = 0;
    for (QMdiSubWindow* window : windows) {
        if (!window->isVisible())
            continue;
        if (arrangement == Arrangement::TileHorizontal) {
            int h = client.height() / count;
            window->setGeometry(0, i * h, client.width(), h);
        } else {
            int w = client.width() / count;
            window->setGeometry(i * w, 0, w, client.height());
        }
        ++i;
    }
}

void Form::ControlFocused(Control* control) {
    focused_ = control;
}

void Form::RepaintHosted() {
    for (auto& control : controls_)
        if (control->GetKind() == Kind::Hosted && control->Widget())
            control->Widget()->update();
}

}  // namespace ui

namespace ui {

void MenuItem::SetChecked(bool checked) {
    checked_ = checked;
    if (auto* qaction = static_cast<QAction*>(action)) {
        qaction->setCheckable(true);
        qaction->setChecked(checked);
    }
}

void MenuItem::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (auto* qaction = static_cast<QAction*>(action))
        qaction->setEnabled(enabled);
}

}  // namespace ui
