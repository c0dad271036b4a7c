#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabBar>
#include <QToolBar>

#include "qt_convert.h"
#include "ui/list_view.h"
#include "ui/testing.h"
#include "widgets.h"

namespace ui::testing {
namespace {

void SendClick(QWidget* widget, bool twice) {
    QPointF centre(widget->width() / 2.0, widget->height() / 2.0);
    QPointF global = widget->mapToGlobal(centre);
    auto send = [&](QEvent::Type type) {
        QMouseEvent event(type, centre, global, Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    };
    send(QEvent::MouseButtonPress);
    send(QEvent::MouseButtonRelease);
    if (twice) {
        send(QEvent::MouseButtonDblClick);
        send(QEvent::MouseButtonRelease);
    }
}

void SendKey(QWidget* widget, int qtKey, Qt::KeyboardModifiers modifiers, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, qtKey, modifiers, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, qtKey, modifiers, text);
    QApplication::sendEvent(widget, &release);
}

}  // namespace

ScriptedUser::ScriptedUser(Runtime& runtime, std::function<void(const std::string&)> onUnanswered,
                           bool answerModals)
    : runtime_(runtime) {
    if (answerModals)
        runtime_.SetScripted(true);
    runtime_.onUnanswered = std::move(onUnanswered);
}

ScriptedUser::~ScriptedUser() {
    runtime_.onUnanswered = nullptr;
}

bool ScriptedUser::Click(Control& control) {
    if (!control.TakesInput() || control.Widget() == nullptr)
        return false;
    if (auto* button = qobject_cast<QAbstractButton*>(control.Widget())) {
        button->click();
    } else if (control.GetKind() == Kind::Grid) {
        return ClickGridRow(static_cast<Grid&>(control), static_cast<Grid&>(control).Row());
    } else {
        control.SetFocus();
        SendClick(control.Widget(), false);
    }
    Pump();
    return true;
}

bool ScriptedUser::DoubleClick(Control& control) {
    if (control.GetKind() == Kind::Grid)
        return ClickGridRow(static_cast<Grid&>(control), static_cast<Grid&>(control).Row(), true);
    if (!control.TakesInput() || control.Widget() == nullptr)
        return false;
    SendClick(control.Widget(), true);
    Pump();
    return true;
}

bool ScriptedUser::Choose(ComboBox& combo, int index) {
    auto* widget = qobject_cast<QComboBox*>(combo.Widget());
    if (!combo.TakesInput() || widget == nullptr || index < 0 || index >= combo.ListCount())
        return false;
    {
        QSignalBlocker block(widget);
        widget->setCurrentIndex(index);
    }
    emit widget->activated(index);
    Pump();
    return true;
}

bool ScriptedUser::Choose(ComboBox& combo, const std::string& text) {
    for (int i = 0; i < combo.ListCount(); ++i)
        if (combo.List(i) == text)
            return Choose(combo, i);
    return false;
}

bool ScriptedUser::Type(TextBox& box, const std::string& text, bool keyByKey) {
    auto* edit = qobject_cast<QLineEdit*>(box.Widget());
    if (!box.TakesInput() || edit == nullptr || box.Locked())
        return false;
    box.SetFocus();
    if (keyByKey) {
        edit->selectAll();
        for (char c : text)
            SendKey(edit, 0, Qt::NoModifier, QString(QChar(c)));
    } else {
        {
            QSignalBlocker block(edit);
            edit->setText(Q(text));
        }
        runtime_.Dispatch([&] { box.UserEdited(text); });
    }
    Pump();
    return true;
}

bool ScriptedUser::Type(ComboBox& combo, const std::string& text) {
    auto* widget = qobject_cast<QComboBox*>(combo.Widget());
    if (!combo.TakesInput() || widget == nullptr || widget->lineEdit() == nullptr)
        return false;
    combo.SetFocus();
    {
        QSignalBlocker block(widget->lineEdit());
        widget->lineEdit()->setText(Q(text));
    }
    runtime_.Dispatch([&] { combo.UserEdited(text); });
    Pump();
    return true;
}

bool ScriptedUser::Focus(Control& control) {
    if (!control.TakesInput())
        return false;
    runtime_.Dispatch([&] { control.SetFocus(); });
    Pump();
    return control.HasFocus();
}

bool ScriptedUser::KeyDown(Form& form, int keyCode, int shift) {
    if (!form.Visible())
        return false;
    Control* focused = form.FocusedControl();
    QWidget* target = focused && focused->Widget() ? focused->Widget() : form.ClientArea();
    if (target == nullptr)
        return false;
    SendKey(target, QtKeyOf(keyCode), ModifiersOf(shift), QString());
    Pump();
    return true;
}

bool ScriptedUser::ClickGridRow(Grid& grid, int row, bool twice) {
    if (!grid.TakesInput() || row < 0 || row >= grid.Rows())
        return false;
    grid.UserClickRow(row, twice);
    Pump();
    return true;
}

bool ScriptedUser::ClickListBoxItem(ListBox& list, int index, bool twice) {
    if (!list.TakesInput() || list.Widget() == nullptr || index < 0 || index >= list.ListCount())
        return false;
    runtime_.Dispatch([&] { list.UserClickItem(index, twice); });
    Pump();
    return true;
}

bool ScriptedUser::ClickListRow(ListView& list, int row) {
    if (!list.TakesInput() || list.Widget() == nullptr || row < 0 || row >= list.ItemCount())
        return false;
    list.SetFocus();
    runtime_.Dispatch([&] { list.UserSelectRow(row); });
    Pump();
    return true;
}

bool ScriptedUser::ClickTab(TabStrip& tabs, int index) {
    auto* bar = qobject_cast<QTabBar*>(tabs.Widget());
    if (!tabs.TakesInput() || bar == nullptr || index < 1 || index > tabs.Count())
        return false;
    emit bar->tabBarClicked(index - 1);
    Pump();
    return true;
}

bool ScriptedUser::ClickMenu(Form& frame, const std::string& item) {
    MenuItem& menu = frame.Menu(item);
    auto* action = static_cast<QAction*>(menu.action);
    if (!frame.Visible() || action == nullptr || !action->isEnabled())
        return false;
    action->trigger();
    Pump();
    return true;
}

bool ScriptedUser::ClickToolbarButton(Form& frame, const std::string& key) {
    if (!frame.Visible() || !frame.ToolbarVisible() || frame.Window() == nullptr)
        return false;
    for (QToolBar* bar : frame.Window()->findChildren<QToolBar*>()) {
        for (QAction* action : bar->actions()) {
            if (action->objectName() == Q(key) && action->isEnabled()) {
                action->trigger();
                Pump();
                return true;
            }
        }
    }
    return false;
}

bool ScriptedUser::StepScrollBar(ScrollBar& bar, int steps) {
    auto* widget = qobject_cast<QScrollBar*>(bar.Widget());
    if (!bar.TakesInput() || widget == nullptr)
        return false;
    auto action =
        steps > 0 ? QAbstractSlider::SliderSingleStepAdd : QAbstractSlider::SliderSingleStepSub;
    for (int i = 0; i < std::abs(steps); ++i)
        widget->triggerAction(action);
    Pump();
    return true;
}

void ScriptedUser::Close(Form& form) {
    if (form.Window() != nullptr)
        form.Window()->close();
    Pump();
}

bool ScriptedUser::PumpUntil(const std::function<bool()>& condition,
                             std::chrono::milliseconds bound) {
    return runtime_.PumpUntil(condition, bound);
}

}  // namespace ui::testing
