// The single-value analog output panel frmSingleOut: one analog output of the chosen board set
// to a voltage in tenths of a volt, chosen with a vertical scroll bar (its top the range's upper
// limit) or typed, and written to the board by Send.
#pragma once

#include <memory>
#include <string>

#include "ui/forms.h"
#include "uilang/automation.h"

namespace larkspur {

inline constexpr const char* kVoltageOutOfRangeText = "Voltage out of range.";

class SingleOutForm : public ui::Form {
  public:
    SingleOutForm();
    uilang::Automation& Acq() const;

  protected:
    void Bind() override;

  private:
    void SetupBoard(const std::string& board);
    void RangeClick();
    void ApplyRange();
    void ScrollMoved();
    void TextTyped();
    void SendClick();

    bool settingUp_ = false;
};

// The program-wide instance.
std::shared_ptr<SingleOutForm> SingleOut();
void ResetSingleOut();

}  // namespace larkspur
