// The pulse generator panel frmPulse: a counter/timer of a board puts out a continuous pulse
// train or a single pulse at the frequency and pulse width chosen; a small picture moves while
// it runs.
#pragma once

#include <memory>
#include <string>

#include "ui/forms.h"
#include "uilang/automation.h"

namespace larkspur {

class PulseForm : public ui::Form {
  public:
    PulseForm();

    uilang::Automation& Acq() const;
    // The picture's phase, flipped at every tick while running.
    bool Phase() const { return phase_; }

  protected:
    void Bind() override;

  private:
    void FillBoards();
    void SetupBoard(const std::string& board);
    void OptionClick(std::int32_t member, std::int16_t value);
    void ShowWidth();
    void StartPulse();
    void StopPulse();
    void Tick();
    void UnloadStep();
    void SetIdleControls(bool idle);

    bool phase_ = false;
};

// The program-wide instance.
std::shared_ptr<PulseForm> Pulse();
std::shared_ptr<PulseForm> PulseIfLoaded();
void ResetPulse();

}  // namespace larkspur
