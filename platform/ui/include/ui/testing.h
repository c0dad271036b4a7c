// The scripted user: acts on forms through real input to controls, as a person would (a click
// on a disabled or hidden control does nothing), pumps the loop until a condition holds, and
// answers modal boxes, forms and file dialogs from inside their loops.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "ui/forms.h"
#include "ui/list_view.h"
#include "ui/runtime.h"

namespace ui::testing {

class ScriptedUser {
  public:
    // Puts the runtime in scripted mode; unanswered modals call `onUnanswered`. With
    // answerModals false the runtime stays as it is (real boxes when a display exists), for a
    // program that scripts its first steps and then hands over to the user.
    explicit ScriptedUser(Runtime& runtime,
                          std::function<void(const std::string&)> onUnanswered = nullptr,
                          bool answerModals = true);
    ~ScriptedUser();

    // Every action returns whether it reached the control (false: the control does not take
    // input). Actions dispatch what they cause before they return.
    bool Click(Control& control);
    bool DoubleClick(Control& control);
    bool Choose(ComboBox& combo, int index);
    bool Choose(ComboBox& combo, const std::string& text);
    bool Type(TextBox& box, const std::string& text, bool keyByKey = false);
    // Replaces the edit text of an editable combo (false for a drop-down list).
    bool Type(ComboBox& combo, const std::string& text);
    bool Focus(Control& control);
    // A key down on the focused control of the form (or the form itself), with modifiers
    // (1 shift, 2 ctrl, 4 alt).
    bool KeyDown(Form& form, int keyCode, int shift = 0);
    bool ClickGridRow(Grid& grid, int row, bool twice = false);
    bool ClickTab(TabStrip& tabs, int index);  // 1-based
    // Selects a row of a list view as a click on it does.
    bool ClickListRow(ListView& list, int row);
    // Clicks (twice: double-clicks) an entry of a list box.
    bool ClickListBoxItem(ListBox& list, int index, bool twice = false);
    bool ClickMenu(Form& frame, const std::string& item);
    bool ClickToolbarButton(Form& frame, const std::string& key);
    bool StepScrollBar(ScrollBar& bar, int steps);
    void Close(Form& form);

    // Runs the loop until the condition holds or the bound passes.
    bool PumpUntil(const std::function<bool()>& condition,
                   std::chrono::milliseconds bound = std::chrono::seconds(10));
    void Pump() { runtime_.DoEvents(); }

    // Answers for the next box, modal form, file dialog.
    void AnswerBox(Runtime::BoxResponder responder) {
        runtime_.AddBoxResponder(std::move(responder));
    }
    void AnswerModal(Runtime::ModalResponder responder) {
        runtime_.AddModalResponder(std::move(responder));
    }
    void AnswerFile(Runtime::FileResponder responder) {
        runtime_.AddFileResponder(std::move(responder));
    }

    Runtime& runtime() { return runtime_; }

  private:
    Runtime& runtime_;
};

}  // namespace ui::testing
