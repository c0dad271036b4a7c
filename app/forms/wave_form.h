// The waveform generator panel frmWave: a sine, square or triangle played continuously on a
// board's clocked analog output. One table of codes holding whole periods of the wave goes into
// two buffers: one is queued on the acquisition control in single-buffer wrap mode, which the
// board replays until the stop, the other is drawn by the panel's plot.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ui/forms.h"
#include "uilang/automation.h"

namespace larkspur {

inline constexpr std::int32_t kWaveHelpContext = 1410;

class WaveForm : public ui::Form {
  public:
    WaveForm();

    // The frequency that the table at the clock plays for a wave frequency, and the table length
    // it needs, which the panel keeps for the next start.
    float SetWaveFreq(float waveHz, float clockHz);
    std::int32_t TableLength() const { return tableLength_; }

    uilang::Automation& Acq() const;
    uilang::Automation& Plot() const;

  protected:
    void Bind() override;

  private:
    void FillBoards();
    void SetupBoard(const std::string& board);
    void ApplySettings();
    void WaveFrequencyChanged();
    void StartWave();
    void StopWave();
    void GiveBackBuffers(std::int32_t output, bool queued, std::int32_t plot);
    void TakeBackQueue(bool abort);
    void OptionsClick();
    void HelpClick();
    void UnloadStep();
    void SetRunningControls(bool running);

    std::int32_t tableLength_ = 0;
};

// The program-wide instance.
std::shared_ptr<WaveForm> Wave();
std::shared_ptr<WaveForm> WaveIfLoaded();
void ResetWave();

}  // namespace larkspur
