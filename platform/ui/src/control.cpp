#include <QPointer>
#include <QWidget>

#include "controls_factory.h"
#include "qt_convert.h"
#include "ui/runtime.h"

namespace ui {

struct Control::WidgetRef {
    QPointer<QWidget> widget;
};

Control::Control(Form& form, const ControlDesign& desc)
    : form_(form),
      kind_(desc.kind),
      name_(desc.name),
      index_(desc.index),
      enabled_(desc.enabled),
      visible_(desc.visible),
      toolTip_(desc.toolTip),
      left_(desc.left),
      top_(desc.top),
      width_(desc.width),
      height_(desc.height),
      widget_(std::make_unique<WidgetRef>()) {}

Control::~Control() = default;

bool Control::Alive() const {
    return form_.Loaded();
}

QWidget* Control::Widget() const {
    return widget_->widget.data();
}

void Control::AttachWidget(QWidget* widget) {
    widget_->widget = widget;
    ApplyCommon();
}

void Control::ApplyCommon() {
    QWidget* widget = Widget();
    if (!widget)
        return;
    widget->setGeometry(Pixels(left_), Pixels(top_), Pixels(width_), Pixels(height_));
    widget->setEnabled(enabled_);
    widget->setVisible(visible_);
    widget->setToolTip(Q(toolTip_));
}

void Control::Teardown() {
    widget_->widget = nullptr;
}

void Control::SetEnabled(bool enabled) {
    if (!Alive())
        return;
    enabled_ = enabled;
    if (Widget())
        Widget()->setEnabled(enabled);
}

void Control::SetVisible(bool visible) {
    if (!Alive())
        return;
    visible_ = visible;
    if (Widget())
        Widget()->setVisible(visible);
}

void Control::SetToolTipText(const std::string& text) {
    if (!Alive())
        return;
    toolTip_ = text;
    if (Widget())
        Widget()->setToolTip(Q(text));
}

void Control::SetLeft(int twips) {
    Move(twips, top_, width_, height_);
}

void Control::SetTop(int twips) {
    Move(left_, twips, width_, height_);
}

void Control::Move(int left, int top, int width, int height) {
    if (!Alive())
        return;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    if (Widget())
        Widget()->setGeometry(Pixels(left), Pixels(top), Pixels(width), Pixels(height));
}

bool Control::TakesInput() const {
    if (!Alive() || !form_.Visible() || !form_.Enabled() ||
        form_.GetWindowState() == WindowState::Minimized)
        return false;
    for (const Control* c = this; c != nullptr; c = c->container_)
        if (!c->enabled_ || !c->visible_)
            return false;
    return true;
}

bool Control::HasFocus() const {
    return Alive() && form_.FocusedControl() == this;
}

void Control::SetFocus() {
    if (!TakesInput())
        return;
    Control* previous = form_.FocusedControl();
    if (previous == this)
        return;
    // The box losing the focus validates first; a cancel keeps the focus there.
    if (previous != nullptr && previous->GetKind() == Kind::TextBox) {
        auto* box = static_cast<TextBox*>(previous);
        if (box->onValidate) {
            bool cancel = false;
            box->onValidate(cancel);
            if (cancel)
                return;
        }
    }
    form_.ControlFocused(this);
    if (Widget())
        Widget()->setFocus(Qt::OtherFocusReason);
}

}  // namespace ui
