// The strip-chart panel frmChart: a timer polls one single value from every channel of its list,
// converts it to volts, appends the first four channels to a scrolling plot and keeps every
// reading in a record store, which is saved to recording files, reviewed from them, and exported
// to a spreadsheet workbook.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "modules/chart_recording.h"
#include "ui/forms.h"
#include "uilang/automation.h"

namespace larkspur {

inline constexpr std::int32_t kChartHelpContext = 9;
inline constexpr std::int32_t kChartStoreCapacity = 1000000;
inline constexpr const char* kChartTempFile = "chart.tmp";

class ChartForm : public ui::Form {
  public:
    ChartForm();

    // Panel state, for tests.
    float Gain() const { return gain_; }
    float Range() const { return range_; }
    std::int16_t DeflectionStep() const { return deflectionStep_; }
    std::int32_t RecordCount() const { return recordCount_; }
    std::int16_t Tick() const { return tick_; }
    const std::vector<chart::ChartRecord>& Records() const { return records_; }
    const std::string& StartStamp() const { return startStamp_; }

    uilang::Automation& Acq() const;
    uilang::Automation& Plot() const;

  protected:
    void Bind() override;

  private:
    void SetupBoard(const std::string& board);
    void ApplySettings();
    void AddChannel();
    void DeleteChannel();
    void RebuildChannelList();
    void DeflectionStepClick();
    void StartChart();
    void PollingTick();
    void StopChart();
    void OptionsClick();
    void HelpClick();
    void ViewStep();
    void UnloadStep();
    std::string RangeText() const;
    double SecondsPerPoint() const;
    // A handler of the user's own choice: an error shows the operation error box. Fired by a
    // routine of the panel (a set-up, a recording read back) it unwinds into that routine's
    // handler instead.
    void UserAction(void (ChartForm::*action)());

    // Recording files.
    void WriteRoutine(const std::string& fileName);
    void SaveClick();
    void OpenClick();
    void SaveChartTemp();
    void LoadChartFile(const std::string& fileName);
    void SetUpFileDialog();

    // Spreadsheet export.
    void ExportClick();
    void ExportFailed();

    float gain_ = 1;
    float range_ = 0;
    std::int16_t deflectionStep_ = 0;
    std::vector<chart::ChartRecord> records_;
    std::int32_t recordCount_ = 0;
    std::int16_t tick_ = 0;
    std::string startStamp_;
    // What the stored recording was taken with: the listed channels and the seconds per point
    // at its start. Files and workbooks describe the store by these, whatever the list and the
    // rate have become since.
    std::vector<std::string> recordedChannels_;
    double recordedSeconds_ = 0;
    std::int16_t loadedPoints_ = 0;
    bool routineRunning_ = false;
    uilang::Object excel_;
    uilang::Object workbook_;
};

// The program-wide instance.
std::shared_ptr<ChartForm> Chart();
std::shared_ptr<ChartForm> ChartIfLoaded();
void ResetChart();

}  // namespace larkspur
