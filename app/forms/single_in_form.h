// The single-value analog input panel frmSingleIn: on demand, one conversion of one analog input
// of the chosen board, shown in volts and as a bar between the range's limits. Its set-up seeds
// the shared acquisition settings.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ui/forms.h"
#include "uilang/automation.h"

namespace larkspur {

// The bar's colour; above the bar the box stays white.
inline constexpr ui::Colour kVoltageBarColour = 0x00A000;

class SingleInForm : public ui::Form {
  public:
    SingleInForm();
    uilang::Automation& Acq() const;

  protected:
    void Bind() override;

  private:
    void SetupBoard(const std::string& board);
    void RangeClick();
    void ChannelTypeClick(std::int16_t channelType);
    void GetClick();
    void ShowBar(float volts);

    bool settingUp_ = false;
};

// The program-wide instance.
std::shared_ptr<SingleInForm> SingleIn();
void ResetSingleIn();

}  // namespace larkspur
