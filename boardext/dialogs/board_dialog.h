// What the families' advanced-settings dialogs share: the dialog's frame (caption, OK and Cancel,
// run modally on the process's forms runtime) and their messages.
#pragma once

#include <string>

#include "hxdaapi32.h"
#include "ui/forms.h"

namespace boardext::dialogs {

inline constexpr char kWdmTitle[] = "MQ-Halcyon WDM";
inline constexpr char kErrorTitle[] = "MQ-Halcyon Error";
inline constexpr UINT kDialogErrorTextSize = 80;

// The API's text of a status, in the dialogs' 80-character buffer.
std::string StatusText(HXSTATUS status);
// "Device Selected may be in use. Quit all <model> related applications and try again."
std::string DeviceInUseText(const std::string& modelWord);
void ShowBox(const std::string& text, const char* title);

// A family's dialog (resource 2000). The family's open reads the board (ending the dialog on a
// failure) in OnOpen; its OK closes the dialog first, then writes in OnApply.
class BoardDialog : public ui::Form {
  public:
    BoardDialog(ui::FormDesign desc, HDEV device);

    // Runs the dialog modally; the status it ended with (HXNOERROR for OK or Cancel).
    HXSTATUS DoModal();

  protected:
    void Bind() override;
    // Reads the board into the controls; a status other than HXNOERROR ends the dialog.
    virtual HXSTATUS OnOpen() = 0;
    virtual void OnApply() = 0;
    bool Checked(const char* name, int index = -1) const;
    void SetChecked(const char* name, bool checked, int index = -1);

    HDEV device_;

  private:
    HXSTATUS ended_ = HXNOERROR;
};

// The dialog's frame around the family's controls: OK and Cancel at the bottom right of a dialog of
// `width` x `height` dialog units.
ui::FormDesign DialogDesign(const char* caption, int width, int height,
                            std::vector<ui::ControlDesign> controls);
// Eight check boxes "<prefix>0".."<prefix>7" as a control array inside a frame.
void AddBitBoxes(std::vector<ui::ControlDesign>& controls, const char* name, const char* frame,
                 const char* captionPrefix, int x, int y);

}  // namespace boardext::dialogs
