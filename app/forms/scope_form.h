// The oscilloscope panel frmScope: one or two analog inputs of a board as traces over ten
// divisions of a time base. It allocates sample buffers, queues them on its acquisition control,
// configures and starts the A/D, and for every filled buffer takes it back, hands it to its plot
// and queues it again (continuous) or frees it and returns to idle (single shot).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ui/forms.h"
#include "uilang/automation.h"

namespace larkspur {

inline constexpr const char* kOverrunText = "Data Acquisition Overrun!";
inline constexpr std::int32_t kScopeHelpContext = 1610;

class ScopeForm : public ui::Form {
  public:
    ScopeForm();

    // Panel state, for tests.
    float Gain() const { return gain_; }
    float VoltsPerDiv() const { return voltsPerDiv_; }
    std::int16_t DeflectionStep() const { return deflectionStep_; }
    bool Paused() const { return paused_; }

    uilang::Automation& Acq() const;
    uilang::Automation& Plot() const;

    // Measures of the buffer handling, for the benchmark: called around each BufferDone.
    struct BufferHooks {
        std::function<void()> before;
        std::function<void(bool drawn)> after;
    };
    BufferHooks hooks;

  protected:
    void Bind() override;

  private:
    void FillBoards();
    void SetupBoard(const std::string& board);
    void ApplySettings();
    void AddChannel();
    void DeleteChannel();
    void RebuildChannelList();
    void DeflectionStepClick();
    void StartScope();
    void StopScope();
    void BufferDone(bool reused);
    void OverrunError();
    void PauseClick();
    void OptionsClick();
    void HelpClick();
    void UnloadStep();
    std::string RangeText() const;
    void SetIdleControls(bool idle);

    float gain_ = 1;
    float range_ = 0;
    float voltsPerDiv_ = 0;
    float maxRange_ = 0;
    float minRange_ = 0;
    std::int16_t deflectionStep_ = 0;
    bool paused_ = false;
};

// The program-wide instance.
std::shared_ptr<ScopeForm> Scope();
std::shared_ptr<ScopeForm> ScopeIfLoaded();
void ResetScope();

}  // namespace larkspur
