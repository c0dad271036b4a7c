// Qt widgets of the forms runtime. Private to the forms runtime.
#pragma once

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>
#include <QWidget>

#include <functional>
#include <vector>

#include "ui/forms.h"

namespace ui {

// The window of a form (or, in an MDI child, its client inside the sub-window). A close request
// from the window system goes to the form, which unloads through its own Unload event.
class FormWidget : public QWidget {
  public:
    explicit FormWidget(Form& form, QWidget* parent = nullptr) : QWidget(parent), form_(form) {}
    Form& form() const { return form_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    // Enter and Escape that no control took click the form's default and cancel buttons.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    Form& form_;
};

class FrameWindow : public QMainWindow {
  public:
    explicit FrameWindow(Form& form) : form_(form) {}

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    Form& form_;
};

// A widget that paints through the drawing surface.
class SurfaceWidget : public QWidget {
  public:
    using Painter = std::function<void(Surface&)>;
    SurfaceWidget(QWidget* parent, Painter painter)
        : QWidget(parent), painter_(std::move(painter)) {}
    std::function<void()> onClick;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    Painter painter_;
};

// Qt key code to the runtime's key code (9 Tab, 13 Enter, 65.. letters, 112.. function keys).
int RuntimeKeyCode(int qtKey);
int QtKeyOf(int keyCode);
int ShiftState(Qt::KeyboardModifiers modifiers);
Qt::KeyboardModifiers ModifiersOf(int shift);

}  // namespace ui
