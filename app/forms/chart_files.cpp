// The strip chart's recording files: Save and Open with the file dialog, the temporary file of
// the stop routine, and reading a recording back into the channel list and the plot.
#include <optional>

#include "forms/chart_form.h"
#include "modules/acq_members.h"
#include "modules/chart_recording.h"
#include "modules/panel_pattern.h"
#include "mqplot32.h"
#include "scripting/file_system.h"
#include "ui/com_hosting.h"
#include "uilang/conversions.h"
#include "uilang/runtime_error.h"

namespace larkspur {
namespace {

using uilang::Value;
namespace id = acq::dispid;
namespace plotid = mqplot32::dispid;
namespace fsid = scripting::dispid;

constexpr std::int32_t kFlagHideReadOnly = 4;
constexpr const char* kRecordingFilter =
    "Acquisition Files (*.acq)|*.acq|Text Files(*.txt)|*.txt|All Files (*.*)|*.*";
constexpr std::int32_t kReviewHistory = 1000000;
constexpr int kDrawnRows = 4;
constexpr std::int32_t kTraceColours[] = {0x0000FF, 0xFF0000, 0xFF00FF, 0x00FF00};
constexpr double kPointsShown = 100;
constexpr float kPointsPerDivision = 10;
constexpr std::int32_t kPageStep = 100;
constexpr std::int32_t kScrollLargeChange = 10;
constexpr std::int16_t kPointsPerScreen = 100;

bool FileExists(const std::string& fileName) {
    uilang::Object fso = ui::CreateObject(scripting::kFileSystemProgId);
    return uilang::ToBool(fso->Call(fsid::FileExists, {Value{fileName}}));
}

Value Short(int value) {
    return static_cast<std::int16_t>(value);
}

// 16-bit arithmetic of the reader's counters: a result beyond the type raises 6.
std::int16_t Add16(std::int16_t a, int b) {
    return uilang::CInt(static_cast<double>(a) + b);
}

}  // namespace

void ChartForm::WriteRoutine(const std::string& fileName) {
    chart::TouchFile(fileName);
    if (!FileExists(fileName))
        return;
    chart::RecordingHeader header;
    header.channelCount = static_cast<std::int32_t>(recordedChannels_.size());
    header.seconds = recordedSeconds_;
    header.board = uilang::ToText(Acq().Get(id::Board));
    header.stamp = startStamp_;
    chart::WriteRecording(fileName, header, records_.data(), recordCount_);
}

void ChartForm::SetUpFileDialog() {
    auto& dialog = Get<ui::CommonDialog>("dlgChart");
    dialog.cancelError = true;
    dialog.flags = kFlagHideReadOnly;
    dialog.filter = kRecordingFilter;
    dialog.filterIndex = 1;
}

void ChartForm::SaveClick() {
    auto& dialog = Get<ui::CommonDialog>("dlgChart");
    dialog.cancelError = true;
    try {
        SetUpFileDialog();
        dialog.ShowSave();
        std::string fileName = dialog.fileName;
        WriteRoutine(fileName);
        Find("lblFile").SetEnabled(true);
        Get<ui::Label>("lblFileName").SetCaption(fileName);
    } catch (const uilang::RuntimeError&) {
    }
}

void ChartForm::OpenClick() {
    auto& dialog = Get<ui::CommonDialog>("dlgChart");
    dialog.cancelError = true;
    try {
        SetUpFileDialog();
        dialog.ShowOpen();
        std::string fileName = dialog.fileName;
        if (FileExists(fileName)) {
            LoadChartFile(fileName);
        } else {
            chart::TouchFile(fileName);
            uilang::Automation& plot = Plot();
            plot.Put(plotid::HistoryLength, plot.Get(plotid::HistoryLength));
        }
        Find("lblFile").SetEnabled(true);
        Get<ui::Label>("lblFileName").SetCaption(fileName);
        Get<ui::CommandButton>("cmdSave").SetEnabled(false);
    } catch (const uilang::RuntimeError&) {
    }
}

void ChartForm::SaveChartTemp() {
    WriteRoutine(kChartTempFile);
    LoadChartFile(kChartTempFile);
    uilang::Object fso = ui::CreateObject(scripting::kFileSystemProgId);
    uilang::Object file = uilang::ToObject(fso->Call(fsid::GetFile, {Value{kChartTempFile}}));
    file->Call(fsid::Delete, {Value{true}});
}

void ChartForm::LoadChartFile(const std::string& fileName) {
    panel::SetupInProgress reading(routineRunning_);
    std::optional<chart::RecordingReader> reader;
    try {
        reader.emplace(fileName);
        if (reader->AtEnd()) {
            reader->Close();
            return;
        }
        chart::ReadHeader header = reader->Header();
        const std::int16_t count = header.channelCount;

        auto& seconds = Get<ui::ComboBox>("cboSec");
        const std::string wanted = uilang::Str(header.seconds);
        for (int i = 0; i < seconds.ListCount(); ++i) {
            seconds.SetListIndex(i);
            if (seconds.List(i) == wanted)
                break;
        }

        uilang::Automation& plot = Plot();
        plot.Put(plotid::HistoryLength, kReviewHistory);
        plot.Put(plotid::Member33, true);
        plot.Put(plotid::DataEncoding, mqplot32::kEncodingAppendedValues);
        plot.Put(plotid::TraceCount, Short(count > kDrawnRows ? kDrawnRows : count));
        plot.Put(plotid::XStart, Short(0));
        plot.Put(plotid::XSpan, kPointsShown);
        plot.Put(plotid::XGridStep, kPointsPerDivision);
        plot.Put(plotid::XLabelStep, kPointsPerDivision);
        plot.Put(plotid::Member39, true);

        auto& scroll = Get<ui::ScrollBar>("hsbChart");
        scroll.SetMin(uilang::ToLong(plot.Get(plotid::XStart)));
        scroll.SetMax(0);
        scroll.SetLargeChange(kScrollLargeChange);
        scroll.SetValue(uilang::ToLong(plot.Get(plotid::XStart)));
        loadedPoints_ = 0;
        scroll.SetEnabled(true);
        for (const char* name : {"hsbChart", "lblTimeFrame", "lblTo", "lblTFfrom", "lblTFto"})
            Find(name).SetVisible(true);

        auto& grid = Get<ui::Grid>("grdChart");
        grid.Clear();
        grid.SetRows(0);
        Acq().Put(id::ListSize, static_cast<std::int32_t>(count));

        for (int i = 0; i < count; ++i) {
            if (reader->AtEnd()) {
                reader->Close();
                RebuildChannelList();
                return;
            }
            chart::ChartRecord record = reader->Record();
            grid.AddItem(std::to_string(record.channel));
            Get<ui::CommandButton>("cmdStart").SetEnabled(true);
            grid.SetCol(0);
            grid.SetRow(i);
            if (i < kDrawnRows)
                grid.SetCellBackColor(static_cast<ui::Colour>(kTraceColours[i]));
            grid.SetCol(1);
            grid.SetText(RangeText());
            if (i < kDrawnRows) {
                grid.SetCellBackColor(static_cast<ui::Colour>(kTraceColours[i]));
                plot.Put(plotid::TraceColor, static_cast<std::int32_t>(grid.CellBackColor()),
                         {Short(i)});
                plot.Put(plotid::AppendValue, record.volts);
            }
            loadedPoints_ = Add16(loadedPoints_, 1);
        }
        RebuildChannelList();

        // The first four channels of every group are drawn, the others skipped; the scroll bar
        // widens by one screen for every further screen of ticks.
        std::int16_t k = 1;
        std::int16_t skip = count > kDrawnRows ? static_cast<std::int16_t>(count - kDrawnRows) : 0;
        const std::int16_t pagePoints = uilang::CInt(static_cast<double>(count) * kPointsPerScreen);
        while (!reader->AtEnd()) {
            chart::ChartRecord record = reader->Record();
            if (skip != 0) {
                if (k > kDrawnRows) {
                    skip = Add16(skip, -1);
                    if (skip < 1) {
                        skip = static_cast<std::int16_t>(count - kDrawnRows);
                        k = 1;
                    }
                } else {
                    plot.Put(plotid::AppendValue, record.volts);
                    k = Add16(k, 1);
                }
            } else {
                plot.Put(plotid::AppendValue, record.volts);
            }
            loadedPoints_ = Add16(loadedPoints_, 1);
            if (loadedPoints_ > pagePoints) {
                scroll.SetMax(scroll.Max() + kPageStep);
                ViewStep();
                loadedPoints_ = 1;
            }
        }
        reader->Close();
    } catch (const uilang::RuntimeError&) {
        if (reader)
            reader->Close();
    }
}

}  // namespace larkspur
