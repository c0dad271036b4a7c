// Forms and their controls. A form is built from its description (desc.h) when it loads; its
// controls then live as long as the form object. After the form is unloaded its widgets are
// gone and touching one of its controls does nothing (setters are ignored, getters answer the
// last state): only a new instance of the form shows again.
//
// Events fired by code run synchronously, before the setter returns, and an error raised in
// their handler unwinds into the code that set the value. Events of the user's input go through
// the runtime's dispatcher, which shows an error that escapes the handler in a box.
//
// Positions and sizes are in twips (15 twips to a logical pixel).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/design.h"
#include "ui/surface.h"
#include "uilang/automation.h"

class QWidget;

namespace ui {

inline constexpr int kTwipsPerPixel = 15;

class Form;
class Timer;

class Control {
  public:
    Control(Form& form, const ControlDesign& desc);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    Kind GetKind() const { return kind_; }
    const std::string& Name() const { return name_; }
    int Index() const { return index_; }
    Form& ParentForm() const { return form_; }
    Control* Container() const { return container_; }

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    const std::string& ToolTipText() const { return toolTip_; }
    void SetToolTipText(const std::string& text);
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int twips);
    void SetTop(int twips);
    void Move(int left, int top, int width, int height);

    // True when the control can take the user's input: it and every container around it (frames,
    // picture boxes, the form) enabled and visible, on a loaded, visible form.
    bool TakesInput() const;
    // Gives the control the focus, activating its form; does nothing (and raises nothing) on a
    // hidden or minimized form or a control that cannot take input.
    void SetFocus();
    bool HasFocus() const;

    // The widget, while the form is loaded (runtime and scripted user only).
    QWidget* Widget() const;

    // Runtime internals: building the widget and tearing it down with the form.
    virtual void Build(QWidget* parent) = 0;
    virtual void Teardown();
    void SetContainer(Control* container) { container_ = container; }

  protected:
    bool Alive() const;
    void AttachWidget(QWidget* widget);
    void ApplyCommon();

  private:
    Form& form_;
    Kind kind_;
    std::string name_;
    int index_;
    Control* container_ = nullptr;
    bool enabled_;
    bool visible_;
    std::string toolTip_;
    int left_, top_, width_, height_;
    struct WidgetRef;
    std::unique_ptr<WidgetRef> widget_;
};

class CommandButton : public Control {
  public:
    CommandButton(Form& form, const ControlDesign& desc);
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    // Shown on a button of the graphical style; a standard button keeps it without showing it.
    void SetPicture(const Picture& picture);
    const Picture& GetPicture() const { return picture_; }
    // Enter on the form clicks its default button, Escape its cancel button (when they take
    // input and the focused control leaves the key to the form).
    bool IsDefault() const { return default_; }
    bool IsCancel() const { return cancel_; }
    std::function<void()> onClick;
    void Build(QWidget* parent) override;

  private:
    std::string caption_;
    bool graphical_;
    bool default_;
    bool cancel_;
    Picture picture_;
};

class OptionButton : public Control {
  public:
    OptionButton(Form& form, const ControlDesign& desc);
    bool Value() const { return value_; }
    // True selects it, clears the other options of its container and fires Click, every time.
    void SetValue(bool value);
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    std::function<void()> onClick;
    void Build(QWidget* parent) override;
    void Select();  // the user's choice: as SetValue(true)

  private:
    void Show();
    std::string caption_;
    bool value_;
};

class CheckBox : public Control {
  public:
    CheckBox(Form& form, const ControlDesign& desc);
    bool Value() const { return value_; }
    void SetValue(bool value);
    std::function<void()> onClick;
    void Build(QWidget* parent) override;

  private:
    std::string caption_;
    bool value_;
};

class Frame : public Control {
  public:
    Frame(Form& form, const ControlDesign& desc);
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    void Build(QWidget* parent) override;

  private:
    std::string caption_;
};

class TextBox : public Control {
  public:
    TextBox(Form& form, const ControlDesign& desc);
    const std::string& Text() const { return text_; }
    // Fires Change when the text changes. Clears Modified.
    void SetText(const std::string& text);
    // A locked box shows its text and takes the focus, but the user cannot edit it.
    bool Locked() const { return locked_; }
    // Whether the user edited the text since it was last set by code.
    bool Modified() const { return modified_; }
    std::function<void()> onChange;
    // Fires when the focus leaves the box, before the Click of the control taking it; setting
    // cancel keeps the focus in the box.
    std::function<void(bool& cancel)> onValidate;
    void Build(QWidget* parent) override;
    void UserEdited(const std::string& text);

  private:
    std::string text_;
    bool locked_;
    bool modified_ = false;
};

class Label : public Control {
  public:
    Label(Form& form, const ControlDesign& desc);
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    void Build(QWidget* parent) override;

  private:
    std::string caption_;
};

// Values are 32-bit. Min may exceed Max: the bar then runs reversed. A value outside the range
// raises 380; setting Min or Max pulls the value inside without an error.
class ScrollBar : public Control {
  public:
    ScrollBar(Form& form, const ControlDesign& desc);
    std::int32_t Min() const { return min_; }
    std::int32_t Max() const { return max_; }
    std::int32_t Value() const { return value_; }
    std::int32_t SmallChange() const { return small_; }
    std::int32_t LargeChange() const { return large_; }
    void SetMin(std::int32_t min);
    void SetMax(std::int32_t max);
    // Fires Change only when the value changes.
    void SetValue(std::int32_t value);
    void SetSmallChange(std::int32_t step);
    void SetLargeChange(std::int32_t step);
    std::function<void()> onChange;
    std::function<void()> onScroll;
    void Build(QWidget* parent) override;
    // The user moved the bar by `steps` small changes (negative: towards Min).
    void UserStep(int steps);

  private:
    void PullInside();
    void ShowRange();
    std::int32_t min_ = 0, max_ = 32767, value_ = 0, small_ = 1, large_ = 1;
};

class ComboBox : public Control {
  public:
    ComboBox(Form& form, const ControlDesign& desc);
    // The selected entry's text; on an editable combo the edited text.
    std::string Text() const;
    void SetText(const std::string& text);  // editable combo only
    int ListIndex() const { return listIndex_; }
    // A valid index selects the entry and fires Click; -1 clears the selection; anything else
    // raises 380.
    void SetListIndex(int index);
    int ListCount() const { return static_cast<int>(items_.size()); }
    const std::string& List(int index) const;
    void Clear();
    void AddItem(const std::string& item);
    std::function<void()> onClick;
    void Build(QWidget* parent) override;
    void UserChoose(int index);                // fires Click even for the entry already selected
    void UserEdited(const std::string& text);  // text typed into an editable combo

  private:
    void Show();
    bool editable_;
    std::vector<std::string> items_;
    int listIndex_ = -1;
    std::string text_;
};

class ListBox : public Control {
  public:
    ListBox(Form& form, const ControlDesign& desc);
    int ListCount() const { return static_cast<int>(items_.size()); }
    const std::string& List(int index) const;
    void Clear();
    void AddItem(const std::string& item);
    // Inserts before entry `index` (ListCount appends); the selection stays on its entry.
    // Outside 0..ListCount raises 380.
    void InsertItem(int index, const std::string& item);
    // Removes the entry; the selection goes with it. Outside the list raises 380.
    void RemoveItem(int index);
    int ListIndex() const { return listIndex_; }
    // A valid index selects the entry and fires Click; -1 clears the selection; anything else
    // raises 380.
    void SetListIndex(int index);
    std::function<void()> onClick;  // the selection changed
    std::function<void()> onDblClick;
    void Build(QWidget* parent) override;
    // The user clicks (twice: double-clicks) an entry.
    void UserClickItem(int index, bool twice);

  private:
    void ShowSelection();
    std::vector<std::string> items_;
    int listIndex_ = -1;
};

class PictureBox : public Control {
  public:
    PictureBox(Form& form, const ControlDesign& desc);
    // Client height in twips.
    int ScaleHeight() const;
    void SetPicture(const Picture& picture);
    const Picture& GetPicture() const { return picture_; }
    // Clears what was drawn.
    void Cls();
    // Draws a picture at its own size, x and y in twips.
    void PaintPicture(const Picture& picture, int x, int y);
    // What the box shows: its picture with everything painted since the last Cls.
    Picture Image() const;
    void Build(QWidget* parent) override;

  private:
    void Redraw();
    Picture picture_;
    Picture canvas_;
};

class Image : public Control {
  public:
    Image(Form& form, const ControlDesign& desc);
    void SetPicture(const Picture& picture);
    const Picture& GetPicture() const { return picture_; }
    std::function<void()> onClick;
    void Build(QWidget* parent) override;

  private:
    Picture picture_;
};

// A grid without fixed rows or columns. Row and Col name the current cell.
class Grid : public Control {
  public:
    Grid(Form& form, const ControlDesign& desc);
    int Rows() const { return static_cast<int>(cells_.size()); }
    void SetRows(int rows);
    int Cols() const { return cols_; }
    void SetCols(int cols);
    int Row() const { return row_; }
    void SetRow(int row);  // outside the rows raises 380
    int Col() const { return col_; }
    void SetCol(int col);
    std::string Text() const;  // of the current cell
    void SetText(const std::string& text);
    Colour CellBackColor() const;
    void SetCellBackColor(Colour colour);
    int ColAlignment(int col) const;
    void SetColAlignment(int col, int alignment);
    int ColWidth(int col) const;  // twips
    void SetColWidth(int col, int twips);
    std::string TextMatrix(int row, int col) const;
    // A new row at the end; tabs in the text separate its cells.
    void AddItem(const std::string& text);
    void RemoveItem(int row);
    void Clear();                   // empties every cell; the rows stay
    std::function<void()> onClick;  // after Row is set to the clicked row
    std::function<void()> onDblClick;
    void Build(QWidget* parent) override;
    void UserClickRow(int row, bool twice);

  private:
    struct Cell {
        std::string text;
        Colour colour = kWhite;
    };
    void CheckCell() const;
    void Show();
    std::vector<std::vector<Cell>> cells_;
    int cols_ = 2;
    int row_ = 0;
    int col_ = 0;
    std::vector<int> alignment_;
    std::vector<int> widths_;
};

// Ticks on the UI thread, timed by the stand-ins' clock: a test on a manual clock fires them by
// advancing it. A late tick is not queued up behind another: ticks that fell due while the thread
// was busy make one.
class Timer : public Control {
  public:
    Timer(Form& form, const ControlDesign& desc);
    ~Timer() override;
    int Interval() const { return interval_; }
    void SetInterval(int milliseconds);
    bool TimerEnabled() const { return Enabled(); }
    void SetTimerEnabled(bool enabled);
    std::function<void()> onTimer;
    void Build(QWidget* parent) override;
    void Teardown() override;
    // Fires the tick when it is due.
    void CheckDue();

  private:
    void Restart();
    void Schedule();
    int interval_;
    std::int64_t due_ = 0;  // clock nanoseconds
    struct Scheduler;
    std::unique_ptr<Scheduler> scheduler_;
};

class TabStrip : public Control {
  public:
    TabStrip(Form& form, const ControlDesign& desc);
    int Count() const { return static_cast<int>(captions_.size()); }
    const std::string& Caption(int index) const;     // 1-based
    const std::string& Key(int index) const;         // 1-based
    int SelectedIndex() const { return selected_; }  // 1-based
    // Selects the tab and fires Click.
    void SetSelectedIndex(int index);
    std::function<void()> onClick;
    void Build(QWidget* parent) override;

  private:
    std::vector<std::string> captions_;
    std::vector<std::string> keys_;
    int selected_ = 1;
};

class ProgressBar : public Control {
  public:
    ProgressBar(Form& form, const ControlDesign& desc);
    float Min() const { return min_; }
    float Max() const { return max_; }
    float Value() const { return value_; }
    void SetMin(float min);
    void SetMax(float max);      // may equal Min
    void SetValue(float value);  // outside Min..Max raises 380
    void Build(QWidget* parent) override;

  private:
    void Show();
    float min_ = 0, max_ = 100, value_ = 0;
};

// Help and file dialogs. ShowOpen and ShowSave ask for a file (no overwrite prompt); a cancel
// with CancelError set raises the cancel error (32755).
class CommonDialog : public Control {
  public:
    CommonDialog(Form& form, const ControlDesign& desc);
    std::string helpFile;
    std::int32_t helpContext = 0;
    std::int32_t helpCommand = 0;
    bool cancelError = false;
    std::int32_t flags = 0;  // 4 hides the read-only box
    std::string filter;      // "text|pattern|text|pattern"
    int filterIndex = 1;
    std::string fileName;
    void ShowHelp();
    void ShowOpen();
    void ShowSave();
    void Build(QWidget* parent) override;

  private:
    void AskFile(bool save);
};

// A control hosted through its view object; painted through the drawing surface.
class HostedControl : public Control {
  public:
    HostedControl(Form& form, const ControlDesign& desc);
    ~HostedControl() override;
    ViewObject* Object() const { return object_.get(); }
    std::shared_ptr<ViewObject> SharedObject() const { return object_; }
    // The control's members; raises 91 (object variable not set) once the form is unloaded.
    uilang::Automation& Members() const;
    std::function<void()> onClick;
    // The control's events by DISPID, with their by-reference arguments.
    std::function<void(std::int32_t dispid, uilang::Arguments& arguments)> onEvent;
    void Build(QWidget* parent) override;
    void Teardown() override;

  private:
    std::function<std::shared_ptr<ViewObject>()> create_;
    std::string progId_;
    std::shared_ptr<ViewObject> object_;
};

// Menus, toolbar and status bar of the MDI frame.
class MenuItem {
  public:
    MenuItem(std::string name, std::string caption, bool checked)
        : name_(std::move(name)), caption_(std::move(caption)), checked_(checked) {}
    const std::string& Name() const { return name_; }
    const std::string& Caption() const { return caption_; }
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    std::function<void()> onClick;
    void* action = nullptr;  // the runtime's menu action

  private:
    std::string name_;
    std::string caption_;
    bool checked_;
    bool enabled_ = true;
};

enum class WindowState { Normal, Minimized, Maximized };

class Form {
  public:
    explicit Form(FormDesign desc);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const std::string& Name() const { return desc_.name; }
    const FormDesign& Design() const { return desc_; }

    // Builds the controls from the description and runs the Load event. Does nothing when loaded;
    // a form that was unloaded stays unloaded (make a new instance instead).
    void Load();
    bool Loaded() const { return loaded_; }
    bool WasUnloaded() const { return unloaded_; }
    // Loads if needed and shows modeless; an MDI child inside the frame. An open form is brought
    // forward, restored when minimized and focused, with nothing reset.
    void Show();
    // Shows modally, owned by `owner`, in a nested loop that dispatches posted messages, timers
    // and other forms' events; returns when the form is hidden or unloaded.
    void ShowModal(Form* owner = nullptr);
    void Hide();
    // Runs the Unload event, then destroys the controls' widgets and the window. The controls of
    // an MDI frame's children are unloaded first, each by its own Unload.
    void Unload();
    // Paints the form at once.
    void Refresh();
    void SetFocus();

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void SetLeft(int twips);
    void SetTop(int twips);
    void SetWidth(int twips);
    void SetHeight(int twips);
    WindowState GetWindowState() const;
    void SetWindowState(WindowState state);
    bool Visible() const;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    // A 32-bit token naming the form's window; 0 while not loaded.
    std::uint32_t hWnd() const { return hwnd_; }
    bool KeyPreview() const { return desc_.keyPreview; }

    // The form's picture as shown now.
    Picture Image() const;
    // Hands the form's picture to the printer.
    void PrintForm();

    // Controls by name (and index, for control arrays); a missing one is a programming error.
    Control& Find(std::string_view name, int index = -1) const;
    Control* FindIfAny(std::string_view name, int index = -1) const;
    template <class T>
    T& Get(std::string_view name, int index = -1) const {
        return dynamic_cast<T&>(Find(name, index));
    }
    const std::vector<std::unique_ptr<Control>>& Controls() const { return controls_; }
    // Menu items by name (MDI frame).
    MenuItem& Menu(std::string_view name) const;
    const std::vector<std::unique_ptr<MenuItem>>& MenuItems() const { return menuItems_; }
    // Toolbar and status bar (MDI frame).
    std::function<void(const std::string& key)> onToolbarButton;
    bool ToolbarVisible() const;
    void SetToolbarVisible(bool visible);
    bool StatusBarVisible() const;
    void SetStatusBarVisible(bool visible);
    const std::string& StatusPanelText(int index) const;  // 1-based; date and time panels update
    void SetStatusPanelText(int index, const std::string& text);
    // MDI frame: arranges the children.
    enum class Arrangement { Cascade, TileHorizontal, TileVertical };
    void Arrange(Arrangement arrangement);

    // Events. Handlers are set by the form's module, typically in Bind.
    std::function<void()> onLoad;
    std::function<void()> onUnload;
    // Key down: the code and the shift state (1 shift, 2 ctrl, 4 alt); with KeyPreview the form
    // sees it before its controls, and a handler that sets the code to 0 swallows it.
    std::function<void(int& keyCode, int shift)> onKeyDown;

    // Runtime internals.
    QWidget* Window() const;
    QWidget* ClientArea() const;
    void ControlFocused(Control* control);
    Control* FocusedControl() const { return focused_; }
    void UserClose();
    // Clicks the default (or the cancel) button when one takes input; false when none does.
    bool PressDefaultButton(bool cancel);
    void TeardownWithoutEvents();  // for End
    void* frameImpl() const { return frame_.get(); }
    void RepaintHosted();

  protected:
    // Called once the controls exist and before the Load event: the module sets its handlers.
    virtual void Bind() {}

  private:
    void Build();
    void BuildMenu(void* parentMenu, const MenuItemDesign& desc, bool top);
    void BuildFrameParts();
    void UpdateClockPanels();
    void FinishUnload();
    void ApplyGeometry();
    void DestroyWindow();

    FormDesign desc_;
    std::string caption_;
    bool loaded_ = false;
    bool unloaded_ = false;
    bool unloading_ = false;
    bool enabled_ = true;
    std::uint32_t hwnd_ = 0;
    int left_, top_, width_, height_;
    WindowState state_ = WindowState::Normal;
    Control* focused_ = nullptr;
    std::vector<std::unique_ptr<Control>> controls_;
    std::vector<std::unique_ptr<MenuItem>> menuItems_;
    struct WindowImpl;
    std::unique_ptr<WindowImpl> window_;
    struct FrameImpl;
    std::unique_ptr<FrameImpl> frame_;
};

// The program-wide instance of a form: made and loaded on first use; after its Unload the next
// use makes a fresh instance from the description.
template <class T>
class DefaultInstance {
  public:
    std::shared_ptr<T> Get() {
        if (!current_ || current_->WasUnloaded()) {
            current_ = std::make_shared<T>();
            current_->Load();
        }
        return current_;
    }
    // The instance if one is loaded, else nullptr; never makes one.
    std::shared_ptr<T> IfLoaded() const {
        return current_ && current_->Loaded() ? current_ : nullptr;
    }
    void Reset() { current_.reset(); }

  private:
    std::shared_ptr<T> current_;
};

}  // namespace ui
