// The property frame's window: a tabbed dialog with one tab per page and the buttons OK, Cancel,
// Apply and Help. Apply is enabled only while a page is dirty; OK applies and closes unless a
// page refused; Cancel and the window's close button close without applying. The forms runtime
// shows it for OleCreatePropertyFrame as a modal form, answered like any other by the scripted
// user (its responder gets this form).
#pragma once

#include <cstddef>
#include <map>

#include "ui/forms.h"

namespace com {
class PropertyFrame;
}

namespace ui {

class PropertyFrameDialog final : public Form {
  public:
    explicit PropertyFrameDialog(com::PropertyFrame& frame);
    ~PropertyFrameDialog() override;

    // The window of the page shown now (null before the first page shows).
    Form* ShownPage() const { return shown_; }
    TabStrip& Tabs() const { return Get<TabStrip>("tabPages"); }
    CommandButton& OkButton() const { return Get<CommandButton>("cmdOK"); }
    CommandButton& CancelButton() const { return Get<CommandButton>("cmdCancel"); }
    CommandButton& ApplyButton() const { return Get<CommandButton>("cmdApply"); }
    CommandButton& HelpButton() const { return Get<CommandButton>("cmdHelp"); }

    // Internals: the page windows that live in the page area.
    QWidget* PageArea() const;
    void Adopt(Form& page);
    void Release(Form& page);

  protected:
    void Bind() override;

  private:
    void ShowTab(int index);
    void UpdateApply();
    void Close();

    com::PropertyFrame& frame_;
    std::map<std::size_t, Form*> pages_;  // by tab, once activated
    std::size_t showing_ = 0;
    Form* shown_ = nullptr;
    bool closed_ = false;
};

}  // namespace ui
