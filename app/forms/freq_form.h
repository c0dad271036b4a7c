// The frequency counter panel frmFreq: a board's counter/timer counts the events of the signal
// at its clock input over a gate time, and the panel shows the rate the control reports.
#pragma once

#include <memory>
#include <string>

#include "ui/forms.h"
#include "uilang/automation.h"

namespace larkspur {

class FreqForm : public ui::Form {
  public:
    FreqForm();

    uilang::Automation& Acq() const;
    bool Measuring() const { return measuring_; }

  protected:
    void Bind() override;

  private:
    void FillBoards();
    void SetupBoard(const std::string& board);
    void StartMeasure();
    void MeasureDone(float hertz);
    void StopMeasure();
    void ValidateDuration();
    void UnloadStep();

    bool measuring_ = false;
};

// The program-wide instance.
std::shared_ptr<FreqForm> Freq();
std::shared_ptr<FreqForm> FreqIfLoaded();
void ResetFreq();

}  // namespace larkspur
