// The single-value digital input panel frmDigitalIn: on demand, the value of one digital input
// port of the chosen board (each port an element of the board's DIN subsystem), shown in
// hexadecimal in the port grid and the list, and bits 0 to 7 as lamps.
#pragma once

#include <memory>
#include <string>

#include "ui/forms.h"
#include "uilang/automation.h"

namespace larkspur {

class DigitalInForm : public ui::Form {
  public:
    DigitalInForm();
    uilang::Automation& Acq() const;

  protected:
    void Bind() override;

  private:
    void SetupBoard(const std::string& board);
    void PortClick();
    void GetClick();
};

// The program-wide instance.
std::shared_ptr<DigitalInForm> DigitalIn();
void ResetDigitalIn();

}  // namespace larkspur
