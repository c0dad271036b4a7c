// The single-value digital output panel frmDigitalOut: an 8-bit value composed with eight bit
// buttons or typed in hexadecimal, written by Send to one digital output port of the chosen
// board (each port an element of the board's DOUT subsystem).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ui/forms.h"
#include "uilang/automation.h"

namespace larkspur {

class DigitalOutForm : public ui::Form {
  public:
    DigitalOutForm();
    uilang::Automation& Acq() const;
    // The value Send writes.
    std::int32_t OutputValue() const { return outputValue_; }

  protected:
    void Bind() override;

  private:
    void SetupBoard(const std::string& board);
    void PortClick();
    void BitClick(int bit);
    void TextAccepted();
    void SendClick();

    std::int32_t outputValue_ = 0;
    bool suppressText_ = false;  // bit clicks that follow the typed text leave it as typed
};

// The program-wide instance.
std::shared_ptr<DigitalOutForm> DigitalOut();
void ResetDigitalOut();

}  // namespace larkspur
