// What the single-value panels share: the board chooser, opening element 0 of the panel's
// subsystem, the set-up failure and operation error boxes, the channel and range lists, port
// letters, and the release of the subsystem when a panel unloads.
#pragma once

#include <cstdint>
#include <string>

#include "ui/forms.h"
#include "uilang/automation.h"
#include "uilang/runtime_error.h"

namespace larkspur::panel {

// Subscript out of range: a port beyond the letters a panel has.
inline constexpr std::int32_t kErrSubscript = 9;

// Marks a set-up in progress for as long as it lives. The handlers a set-up fires itself (a
// list's Click on its first entry, an option's Click) let their errors unwind into the set-up's
// failure box while it runs, and show the operation error box only for the user's own choices.
class SetupInProgress {
  public:
    explicit SetupInProgress(bool& flag) : flag_(flag) { flag_ = true; }
    ~SetupInProgress() { flag_ = false; }
    SetupInProgress(const SetupInProgress&) = delete;
    SetupInProgress& operator=(const SetupInProgress&) = delete;

  private:
    bool& flag_;
};

// Lists numBoards entries of the control's BoardList in the chooser, selecting none, so that
// loading a panel opens nothing.
void FillBoards(uilang::Automation& acq, ui::ComboBox& boards);

// Board, then SubSysType, then SubSysElement 0: each assignment releases what the control had
// open and opens the new choice.
void OpenSubsystem(uilang::Automation& acq, const std::string& board, std::int16_t type);

// Opens another element of the panel's subsystem type (a port). The control forgets the type
// when an element it was asked for cannot be opened (another program holds it); the type is then
// assigned again first, so that the next choice opens its element.
void ChooseElement(uilang::Automation& acq, std::int16_t type, std::int16_t element);

// The set-up failure box: the panel's text followed by the board name, exclamation, OK only.
void ShowSetupFailure(const std::string& text, const std::string& board, const std::string& title);

// The operation error box. A refusal of the library raised by the control shows the control's
// LastErrDescription; any other error (a number the panel could not convert, a scale without
// span) shows its own text, since the control's last status says nothing about it.
void ShowOperationError(uilang::Automation& acq, const uilang::RuntimeError& error,
                        const std::string& title);

// Entries "0" to count - 1, the first selected (which fires the list's Click). An empty list
// raises 380 at the selection.
void FillChannels(ui::ComboBox& channels, std::int32_t count);

// Takes every buffer of the control's done queue and frees it.
void FreeDoneBuffers(uilang::Automation& acq);

// One entry per range of the open subsystem, "<min> to <max>" in the plain number form, the
// first selected (which fires the list's Click).
void FillRanges(uilang::Automation& acq, ui::ComboBox& ranges);

// The letter of a port: "A" for element 0 and on; raises 9 for an element at or beyond `letters`.
std::string PortLetter(int element, int letters);

// The unload step's release: hxDaReleaseDASS with the control's hDass (0 when it cannot be
// read); the status is not looked at.
void ReleaseSubsystem(ui::HostedControl& acq);

}  // namespace larkspur::panel
