// The spectrum panel frmFFT: the magnitude spectrum, in dB, of the first N samples of every
// buffer one analog input fills. Six buffers of half a second (at least N samples) circulate
// between the acquisition control's queues; each done buffer is copied to a raw work buffer,
// turned into volts, windowed, transformed and put in dB in a spectrum work buffer that the plot
// draws, and then queued again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "modules/hxmemdefs.h"
#include "ui/forms.h"
#include "uilang/automation.h"

namespace larkspur {

inline constexpr std::int32_t kSpectrumHelpContext = 1630;
inline constexpr int kSpectrumBuffers = 6;
inline constexpr std::int32_t kRawBufferSamples = 4096;

class SpectrumForm : public ui::Form {
  public:
    SpectrumForm();
    ~SpectrumForm() override;

    // Panel state, for tests.
    std::int32_t Points() const { return points_; }
    std::int16_t WindowCode() const { return windowCode_; }
    std::int32_t BufferSamples() const { return bufferSamples_; }
    hxmemdefs::Handle RawBuffer() const { return rawBuffer_; }
    hxmemdefs::Handle SpectrumBuffer() const { return spectrumBuffer_; }
    bool Paused() const { return paused_; }

    uilang::Automation& Acq() const;
    uilang::Automation& Plot() const;

  protected:
    void Bind() override;

  private:
    void FillBoards();
    void SetupBoard(const std::string& board);
    void ApplySettings();
    void StartFFT();
    void StopFFT();
    void BufferDone();
    void Analyse(hxmemdefs::Handle done);
    void DrawSpectrum();
    void OverrunError();
    void PauseClick();
    void OptionsClick();
    void HelpClick();
    void UnloadStep();
    void SetSettingsEnabled(bool enabled);
    void FreeWorkBuffers();

    std::int32_t points_ = 1024;
    std::int16_t windowCodes_[6] = {};
    std::int16_t windowCode_ = 3;
    std::int32_t bufferSamples_ = 0;
    hxmemdefs::Handle rawBuffer_ = 0;
    hxmemdefs::Handle spectrumBuffer_ = 0;
    float maxRange_ = 0;
    float minRange_ = 0;
    bool paused_ = false;
};

// The program-wide instance.
std::shared_ptr<SpectrumForm> Spectrum();
std::shared_ptr<SpectrumForm> SpectrumIfLoaded();
void ResetSpectrum();

}  // namespace larkspur
