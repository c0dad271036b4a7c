// The strip chart end to end on a simulated MQ5120 with constant levels on its first six inputs,
// its timer on the manual clock: set-up, the channel list and deflection cycle, recording ticks,
// the stop's review through the temporary file, Save and Open of recording files (damaged ones
// included) and the spreadsheet export, read back from the workbook's XML.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app_fixture.h"
#include "modules/hxdadefs.h"
#include "mqplot32/plot_control.h"
#include "panel_support.h"
#include "simclock/clock.h"
#include "spreadsheet/application.h"
#include "ui/com_hosting.h"
#include "uilang/conversions.h"

namespace larkspur::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using uilang::Value;

constexpr const char* kLevelsBoard =
    "MQ5120 4 1 AD0.0=const:1.25 AD0.1=const:-2.5 AD0.2=const:0.5 AD0.3=const:3 "
    "AD0.4=const:-4 AD0.5=const:5";
constexpr float kLevels[] = {1.25f, -2.5f, 0.5f, 3.0f, -4.0f, 5.0f};
constexpr float kCodeStep = 20.0f / 65536;  // one code of the ±10 V range
constexpr auto kTickBound = 20s;
constexpr std::size_t kReadChunk = 4096;

std::vector<std::string> Lines(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

std::string ZipPart(const fs::path& file, const std::string& part) {
    std::string command = "unzip -p '" + file.string() + "' '" + part + "' 2>/dev/null";
    std::string text;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return text;
    char chunk[kReadChunk];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        text.append(chunk, got);
    ::pclose(pipe);
    return text;
}

class ChartTest : public AppTest {
  protected:
    explicit ChartTest(std::vector<std::string> boards = {kLevelsBoard})
        : AppTest(std::move(boards)) {
        files_ = fs::temp_directory_path() / ("chart-" + std::to_string(::getpid()));
        fs::create_directories(files_);
        previous_ = fs::current_path();
        fs::current_path(files_);  // where the stop's temporary file goes
    }
    ~ChartTest() override {
        fs::current_path(previous_);
        fs::remove_all(files_);
    }

    ChartForm& OpenOnBoard() {
        chart_ = Chart();
        chart_->Show();
        EXPECT_TRUE(user_.Choose(Combo("cboBoard"), kMq5120));
        return *chart_;
    }
    ui::ComboBox& Combo(const char* name) { return chart_->Get<ui::ComboBox>(name); }
    ui::CommandButton& Button(const char* name) { return chart_->Get<ui::CommandButton>(name); }
    ui::Label& LabelOf(const char* name) { return chart_->Get<ui::Label>(name); }
    ui::Grid& GridOf() { return chart_->Get<ui::Grid>("grdChart"); }
    ui::ScrollBar& Scroll() { return chart_->Get<ui::ScrollBar>("hsbChart"); }
    mqplot32::PlotControl& PlotOf() {
        return *static_cast<mqplot32::PlotControl*>(
            chart_->Get<ui::HostedControl>("mqPlotChart").Object());
    }
    void AddChannel(const std::string& channel) {
        ASSERT_TRUE(user_.Choose(Combo("cboChan"), channel));
        ASSERT_TRUE(user_.Click(Button("cmdAdd")));
    }
    // Starts and lets `ticks` intervals pass on the manual clock, each tick done before the next.
    void Record(int ticks) {
        ASSERT_TRUE(user_.Click(Button("cmdStart")));
        ASSERT_TRUE(chart_->Get<ui::Timer>("tmrChart").TimerEnabled());
        auto interval = std::chrono::milliseconds(chart_->Get<ui::Timer>("tmrChart").Interval());
        for (int i = 0; i < ticks; ++i) {
            const int before = chart_->Tick();
            clock_.Advance(interval);
            ASSERT_TRUE(user_.PumpUntil([&] { return chart_->Tick() == before + 1; }, kTickBound))
                << "tick " << i;
        }
    }
    void Stop() { ASSERT_TRUE(user_.Click(Button("cmdStop"))); }
    void AnswerFileWith(const fs::path& file) {
        user_.AnswerFile([file](std::string& name) {
            name = file.string();
            return true;
        });
    }
    void CancelFile() {
        user_.AnswerFile([](std::string&) { return false; });
    }
    void Write(const fs::path& file, const std::string& text) {
        std::ofstream(file, std::ios::binary) << text;
    }

    simclock::testing::ManualClock clock_;
    fs::path files_;
    fs::path previous_;
    std::shared_ptr<ChartForm> chart_;
};

TEST_F(ChartTest, SetUpListsChannelZeroInRedWithTheRangeAndTheScalesOfTheLists) {
    OpenOnBoard();
    EXPECT_EQ(chart_->Width(), 11500);
    EXPECT_EQ(chart_->Caption(), "Strip Chart - MQ5120(00)");
    ASSERT_EQ(GridOf().Rows(), 1);
    EXPECT_EQ(GridOf().TextMatrix(0, 0), "0");
    EXPECT_EQ(GridOf().TextMatrix(0, 1), "- 10 to 10");
    GridOf().SetRow(0);
    GridOf().SetCol(1);
    EXPECT_EQ(GridOf().CellBackColor(), ui::kRed);
    EXPECT_EQ(Entries(Combo("cboSec")), (std::vector<std::string>{" .1", " 1", " 10", " 60"}));
    EXPECT_EQ(Combo("cboSec").Text(), " .1");
    EXPECT_EQ(Combo("cboVolt").Text(), " 2");
    EXPECT_EQ(LabelOf("lblMaxVolts").Caption(), "10V");
    EXPECT_EQ(LabelOf("lblCenter").Caption(), "0");
    EXPECT_EQ(LabelOf("lblMinVolts").Caption(), "-10V");
    EXPECT_EQ(LabelOf("lblxDiv").Caption(), "1");
    mqplot32::Snapshot plot = PlotOf().Take();
    EXPECT_EQ(plot.yMaximum, 10.0f);
    EXPECT_EQ(plot.yMinimum, -10.0f);
    EXPECT_EQ(plot.yGridStep, 2.0f);
    EXPECT_TRUE(Button("cmdStart").Enabled());
    EXPECT_TRUE(Button("cmdOpen").Enabled());
    EXPECT_FALSE(Button("cmdSave").Enabled());
    EXPECT_FALSE(Button("cmdSheet").Enabled());
    EXPECT_FALSE(Button("cmdDelete").Enabled());
    EXPECT_EQ(chart_->Records().size(), 1000001u);
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << Boxes(*runtime_).front();

    // Rates and scales.
    ASSERT_TRUE(user_.Choose(Combo("cboSec"), " 60"));
    EXPECT_EQ(LabelOf("lblxDiv").Caption(), "600");
    EXPECT_EQ(LabelOf("lblTFto").Caption(), " 6000 Sec.");
    ASSERT_TRUE(user_.Choose(Combo("cboVolt"), " .1"));
    EXPECT_EQ(LabelOf("lblMaxVolts").Caption(), "0.5V");
    EXPECT_EQ(PlotOf().Take().yGridStep, 0.1f);
}

TEST_F(ChartTest, TheChannelListTakesEachChannelOnceAndKeepsItsLastRow) {
    OpenOnBoard();
    AddChannel("0");  // listed already
    EXPECT_EQ(GridOf().Rows(), 1);
    const int channels = Shared().gChannelCount;
    ASSERT_GT(channels, 4);
    for (int c = 1; c < channels; ++c)
        AddChannel(std::to_string(c));
    EXPECT_EQ(GridOf().Rows(), channels);
    EXPECT_FALSE(Button("cmdAdd").Enabled());  // every channel listed
    EXPECT_TRUE(Button("cmdDelete").Enabled());
    GridOf().SetRow(4);
    GridOf().SetCol(0);
    EXPECT_EQ(GridOf().CellBackColor(), ui::kWhite);  // rows from 4 on are not drawn
    GridOf().SetRow(3);
    EXPECT_EQ(GridOf().CellBackColor(), ui::Colour{0x00FF00});

    ASSERT_TRUE(user_.ClickGridRow(GridOf(), 0));
    ASSERT_TRUE(user_.Click(Button("cmdDelete")));
    EXPECT_EQ(GridOf().Rows(), channels - 1);
    EXPECT_EQ(GridOf().TextMatrix(0, 0), "1");
    GridOf().SetRow(0);
    GridOf().SetCol(0);
    EXPECT_EQ(GridOf().CellBackColor(), ui::kRed);  // colours follow the rows
    EXPECT_TRUE(Button("cmdAdd").Enabled());
    while (GridOf().Rows() > 1)
        ASSERT_TRUE(user_.Click(Button("cmdDelete")));
    EXPECT_FALSE(Button("cmdDelete").Enabled());
    EXPECT_TRUE(Button("cmdAdd").Enabled());
}

TEST_F(ChartTest, FourDoubleClicksReturnToGainOneAndTheCounterOutlivesASetUp) {
    OpenOnBoard();
    const char* ranges[] = {"- 5 to 5", "- 2.5 to 2.5", "- 1.25 to 1.25", "- 10 to 10"};
    const float gains[] = {2, 4, 8, 1};
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(user_.ClickGridRow(GridOf(), 0, true));
        EXPECT_EQ(chart_->Gain(), gains[i]);
        EXPECT_EQ(GridOf().TextMatrix(0, 1), ranges[i]);
    }
    ASSERT_TRUE(user_.ClickGridRow(GridOf(), 0, true));
    ASSERT_TRUE(user_.ClickGridRow(GridOf(), 0, true));
    EXPECT_EQ(chart_->DeflectionStep(), 2);
    ASSERT_TRUE(user_.Choose(Combo("cboBoard"), kMq5120));  // a set-up: gain 1, counter kept
    EXPECT_EQ(chart_->Gain(), 1.0f);
    ASSERT_TRUE(user_.ClickGridRow(GridOf(), 0, true));
    ASSERT_TRUE(user_.ClickGridRow(GridOf(), 0, true));
    EXPECT_EQ(chart_->Gain(), 1.0f);             // after two, not four
    EXPECT_EQ(PlotOf().Take().yMaximum, 10.0f);  // the volt scale stays
}

TEST_F(ChartTest, EachTickStoresOneRecordPerListedChannelAndDrawsTheFirstFour) {
    OpenOnBoard();
    for (const char* channel : {"1", "2", "3", "4", "5"})
        AddChannel(channel);
    Record(3);
    EXPECT_EQ(chart_->Get<ui::Timer>("tmrChart").Interval(), 100);
    EXPECT_FALSE(Button("cmdStart").Enabled());
    EXPECT_TRUE(Button("cmdStop").Enabled());
    EXPECT_FALSE(Combo("cboBoard").Enabled());
    EXPECT_FALSE(Scroll().Visible());
    ASSERT_EQ(chart_->RecordCount(), 18);
    for (int i = 0; i < 18; ++i) {
        const chart::ChartRecord& record = chart_->Records()[static_cast<std::size_t>(i)];
        EXPECT_EQ(record.channel, i % 6);
        EXPECT_EQ(record.tick, i / 6);
        EXPECT_NEAR(record.volts, kLevels[i % 6], kCodeStep) << i;
    }
    mqplot32::Snapshot plot = PlotOf().Take();
    EXPECT_EQ(plot.traceCount, 4);
    ASSERT_GE(plot.histories.size(), 4u);
    for (std::size_t trace = 0; trace < 4; ++trace) {
        ASSERT_EQ(plot.histories[trace].size(), 3u) << trace;
        for (std::size_t t = 0; t < 3; ++t)
            EXPECT_EQ(plot.histories[trace][t], chart_->Records()[t * 6 + trace].volts);
    }
    for (std::size_t trace = 4; trace < plot.histories.size(); ++trace)
        EXPECT_TRUE(plot.histories[trace].empty());
    EXPECT_EQ(plot.traceColours.at(2), ui::Colour{0xFF00FF});
    chart_->Image().SavePng(PicturePath("chart_recording"));
}

TEST_F(ChartTest, AtFourTimesTheGainEveryReadingIsTheInputVoltage) {
    OpenOnBoard();
    AddChannel("2");
    ASSERT_TRUE(user_.ClickGridRow(GridOf(), 0, true));
    ASSERT_TRUE(user_.ClickGridRow(GridOf(), 0, true));
    ASSERT_EQ(chart_->Gain(), 4.0f);
    Record(2);
    ASSERT_EQ(chart_->RecordCount(), 4);
    EXPECT_NEAR(chart_->Records()[0].volts, 1.25f, kCodeStep);
    EXPECT_NEAR(chart_->Records()[1].volts, 0.5f, kCodeStep);
}

TEST_F(ChartTest, StopReviewsTheRecordingThroughTheTemporaryFileAndDeletesIt) {
    OpenOnBoard();
    AddChannel("1");
    Record(3);
    Stop();
    EXPECT_FALSE(fs::exists(files_ / kChartTempFile));
    EXPECT_TRUE(Button("cmdSave").Enabled());
    EXPECT_TRUE(Button("cmdSheet").Enabled());
    EXPECT_TRUE(Button("cmdStart").Enabled());
    EXPECT_FALSE(Button("cmdStop").Enabled());
    EXPECT_TRUE(Scroll().Visible());
    EXPECT_TRUE(LabelOf("lblTFto").Visible());
    EXPECT_EQ(Scroll().Max(), 0);
    ASSERT_EQ(GridOf().Rows(), 2);
    EXPECT_EQ(GridOf().TextMatrix(1, 0), "1");
    // The review draws what the store holds, as the file carried it.
    mqplot32::Snapshot plot = PlotOf().Take();
    ASSERT_GE(plot.histories.size(), 2u);
    for (std::size_t trace = 0; trace < 2; ++trace) {
        ASSERT_EQ(plot.histories[trace].size(), 3u);
        for (std::size_t t = 0; t < 3; ++t)
            EXPECT_EQ(plot.histories[trace][t], chart_->Records()[t * 2 + trace].volts);
    }
    EXPECT_EQ(chart_->RecordCount(), 6);

    // A stop before the first tick leaves a header only: the review has no group to list, so
    // the list is empty until channels are added again.
    ASSERT_TRUE(user_.Click(Button("cmdStart")));
    Stop();
    EXPECT_EQ(chart_->RecordCount(), 0);
    EXPECT_EQ(GridOf().Rows(), 0);
    EXPECT_FALSE(fs::exists(files_ / kChartTempFile));
    EXPECT_TRUE(Button("cmdStart").Enabled());
}

TEST_F(ChartTest, SaveWritesTheHeaderAndOneLinePerRecordInStoreOrder) {
    OpenOnBoard();
    AddChannel("1");
    Record(3);
    Stop();
    const fs::path file = files_ / "two.acq";
    AnswerFileWith(file);
    ASSERT_TRUE(user_.Click(Button("cmdSave")));
    std::vector<std::string> lines = Lines(file);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "2,0.1,\"MQ5120(00)\",\"" + chart_->StartStamp() + "\"\r");
    for (std::size_t i = 0; i < 6; ++i) {
        const chart::ChartRecord& record = chart_->Records()[i];
        EXPECT_EQ(lines[i + 1], chart::RecordLine(record) + "\r");
        EXPECT_EQ(record.channel, static_cast<std::int16_t>(i % 2));  // 0,v,0 / 1,v,0 / 0,v,1 ...
        EXPECT_EQ(record.tick, static_cast<std::int16_t>(i / 2));
    }
    EXPECT_TRUE(LabelOf("lblFile").Enabled());
    EXPECT_EQ(LabelOf("lblFileName").Caption(), file.string());

    // A cancelled dialog, or a path that cannot be written, changes nothing.
    CancelFile();
    ASSERT_TRUE(user_.Click(Button("cmdSave")));
    EXPECT_EQ(LabelOf("lblFileName").Caption(), file.string());
    AnswerFileWith(files_ / "no-such-folder" / "x.acq");
    ASSERT_TRUE(user_.Click(Button("cmdSave")));
    EXPECT_EQ(LabelOf("lblFileName").Caption(), file.string());

    // The file describes the recording, not what the list and the rate became since.
    AddChannel("5");
    ASSERT_TRUE(user_.Choose(Combo("cboSec"), " 10"));
    AnswerFileWith(file);
    ASSERT_TRUE(user_.Click(Button("cmdSave")));
    lines = Lines(file);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0].substr(0, 6), "2,0.1,");
    AnswerFileWith(file);
    ASSERT_TRUE(user_.Click(Button("cmdOpen")));
    ASSERT_EQ(GridOf().Rows(), 2);
    EXPECT_EQ(Combo("cboSec").Text(), " .1");
    EXPECT_EQ(PlotOf().Take().histories.at(1).size(), 3u);

    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << Boxes(*runtime_).front();
}

TEST_F(ChartTest, OpenDrawsFourOfSixChannelsAndWidensTheScrollBarPerScreenOfTicks) {
    OpenOnBoard();
    const fs::path file = files_ / "six.acq";
    std::string text = "6,1,\"MQ5120(00)\",\"then\"\r\n";
    const int ticks = 250;  // 1500 records: three screens started
    for (int t = 0; t < ticks; ++t)
        for (int c = 0; c < 6; ++c)
            text +=
                chart::RecordLine({static_cast<std::int16_t>(c), static_cast<float>(c * 1000 + t),
                                   static_cast<std::int16_t>(t)}) +
                "\r\n";
    Write(file, text);
    AnswerFileWith(file);
    ASSERT_TRUE(user_.Click(Button("cmdOpen")));
    EXPECT_EQ(Combo("cboSec").Text(), " 1");
    ASSERT_EQ(GridOf().Rows(), 6);
    EXPECT_EQ(GridOf().TextMatrix(5, 0), "5");
    mqplot32::Snapshot plot = PlotOf().Take();
    EXPECT_EQ(plot.traceCount, 4);
    for (std::size_t trace = 0; trace < 4; ++trace) {
        ASSERT_EQ(plot.histories.at(trace).size(), static_cast<std::size_t>(ticks)) << trace;
        EXPECT_EQ(plot.histories[trace][0], trace * 1000.0f);
        EXPECT_EQ(plot.histories[trace][ticks - 1], trace * 1000.0f + ticks - 1);
    }
    EXPECT_EQ(Scroll().Max(), 200);
    EXPECT_EQ(Scroll().Value(), 0);
    chart_->Image().SavePng(PicturePath("chart_six_channels_opened"));
    EXPECT_EQ(LabelOf("lblFileName").Caption(), file.string());
    EXPECT_FALSE(Button("cmdSave").Enabled());

    // Scrolling moves the plot's window and the time frame.
    Scroll().SetValue(100);
    EXPECT_EQ(PlotOf().Take().xStart, 100);
    EXPECT_EQ(LabelOf("lblTFfrom").Caption(), " 100");
    EXPECT_EQ(LabelOf("lblTFto").Caption(), " 200 Sec.");
}

TEST_F(ChartTest, ADamagedFileStopsTheReaderWhereItFailsAndANewNameMakesAnEmptyFile) {
    OpenOnBoard();
    AddChannel("1");
    const fs::path file = files_ / "damaged.acq";
    Write(file, "3,.1,\"b\",\"s\"\r\n0,1.5,0\r\n1,oops,0\r\n2,2.5,0\r\n");
    AnswerFileWith(file);
    ASSERT_TRUE(user_.Click(Button("cmdOpen")));
    ASSERT_EQ(GridOf().Rows(), 1);  // the list as far as it was built
    EXPECT_EQ(GridOf().TextMatrix(0, 0), "0");
    EXPECT_EQ(PlotOf().Take().histories.at(0), std::vector<float>{1.5f});
    EXPECT_EQ(LabelOf("lblFileName").Caption(), file.string());  // the reader ended silently

    for (const char* garbage : {"", "\x7f\x45\x4c\x46\x02\x01", "1,1E+99,\"b\",\"s\"\r\n"}) {
        Write(file, garbage);
        AnswerFileWith(file);
        ASSERT_TRUE(user_.Click(Button("cmdOpen")));
        EXPECT_EQ(GridOf().Rows(), 1) << garbage;
    }

    const fs::path fresh = files_ / "fresh.acq";
    AnswerFileWith(fresh);
    ASSERT_TRUE(user_.Click(Button("cmdOpen")));
    EXPECT_TRUE(fs::exists(fresh));
    EXPECT_EQ(fs::file_size(fresh), 0u);
    EXPECT_EQ(GridOf().Rows(), 1);
    EXPECT_EQ(LabelOf("lblFileName").Caption(), fresh.string());
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << Boxes(*runtime_).front();
}

TEST_F(ChartTest, ASubsystemHeldElsewhereFailsTheSetUpWithTheBoardsName) {
    HeldSubsystem held(kMq5120, HXSS_AD, 0);
    ASSERT_TRUE(held.Held());
    OpenOnBoard();
    EXPECT_EQ(Boxes(*runtime_),
              std::vector<std::string>{"Chart: A/D Subsystem not available on MQ5120(00)"});
    EXPECT_FALSE(Button("cmdStart").Enabled());
    EXPECT_FALSE(Button("cmdOpen").Enabled());
    EXPECT_FALSE(chart_->Find("fraChannel").Enabled());
}

TEST_F(ChartTest, ReadingsOfARemovedBoardEndTheirTicksSilentlyAndAStartFailsWithItsBox) {
    OpenOnBoard();
    Record(2);
    ASSERT_TRUE(sim::testing::InjectFault("MQ5120", 1, HXSS_AD, 0, sim::testing::Fault::kRemoval));
    auto interval = std::chrono::milliseconds(chart_->Get<ui::Timer>("tmrChart").Interval());
    for (int i = 0; i < 3; ++i) {
        clock_.Advance(interval);
        for (int pump = 0; pump < 5; ++pump)
            user_.Pump();
    }
    EXPECT_EQ(chart_->Tick(), 2);  // no tick counted without its readings
    EXPECT_EQ(chart_->RecordCount(), 2);
    Stop();
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << Boxes(*runtime_).front();
    EXPECT_TRUE(Button("cmdStart").Enabled());
    EXPECT_FALSE(fs::exists(files_ / kChartTempFile));

    ASSERT_TRUE(user_.Click(Button("cmdStart")));
    EXPECT_EQ(
        Boxes(*runtime_),
        std::vector<std::string>{"Strip Chart Error: Velkor error.  Change settings and retry."});
    EXPECT_FALSE(chart_->Get<ui::Timer>("tmrChart").TimerEnabled());
}

TEST_F(ChartTest, ClosingThePanelWhileRecordingStopsItAndReleasesTheSubsystem) {
    OpenOnBoard();
    Record(1);
    EXPECT_FALSE(SubsystemFree(kMq5120, HXSS_AD, 0));
    user_.Close(*chart_);
    EXPECT_FALSE(chart_->Loaded());
    EXPECT_TRUE(SubsystemFree(kMq5120, HXSS_AD, 0));
    EXPECT_FALSE(fs::exists(files_ / kChartTempFile));
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << Boxes(*runtime_).front();
}

TEST_F(ChartTest, AMillionRecordsReadBackCompletely) {
    OpenOnBoard();
    const fs::path file = files_ / "million.acq";
    constexpr int kTicks = 500000;  // two channels
    {
        std::ofstream out(file, std::ios::binary);
        out << "2,.1,\"MQ5120(00)\",\"then\"\r\n";
        for (int t = 0; t < kTicks; ++t)
            for (int c = 0; c < 2; ++c)
                out << chart::RecordLine({static_cast<std::int16_t>(c),
                                          static_cast<float>(c == 0 ? t : -t),
                                          static_cast<std::int16_t>(t % 32768)})
                    << "\r\n";
    }
    AnswerFileWith(file);
    ASSERT_TRUE(user_.Click(Button("cmdOpen")));
    mqplot32::Snapshot plot = PlotOf().Take();
    ASSERT_EQ(plot.histories.at(0).size(), static_cast<std::size_t>(kTicks));
    ASSERT_EQ(plot.histories.at(1).size(), static_cast<std::size_t>(kTicks));
    EXPECT_EQ(plot.histories[0].back(), kTicks - 1.0f);
    EXPECT_EQ(plot.histories[1].back(), 1.0f - kTicks);
    EXPECT_EQ(Scroll().Max(), 100 * (kTicks / 100 - 1));
    Scroll().SetValue(Scroll().Max());  // the last screen, beyond 16 bits
    EXPECT_EQ(PlotOf().Take().xStart, Scroll().Max());
}

// A board whose analog input has a unipolar range besides the bipolar one.
class ChartUnipolarTest : public ChartTest {
  protected:
    ChartUnipolarTest() : ChartTest({"Mq5200 0x5202 0x21 AD0.0=const:7.5"}) {}
};

TEST_F(ChartUnipolarTest, AUnipolarChoiceScalesFromZeroOverFiveDivisions) {
    chart_ = Chart();
    chart_->Show();
    ASSERT_EQ(Combo("cboBoard").ListCount(), 1);
    ASSERT_TRUE(user_.Choose(Combo("cboBoard"), 0));
    ASSERT_TRUE(runtime_->MessageBoxes().empty()) << Boxes(*runtime_).front();
    user_.AnswerModal([&](ui::Form& form) {
        EXPECT_TRUE(user_.ClickTab(form.Get<ui::TabStrip>("tbsOptions"), 4));
        EXPECT_TRUE(user_.Click(form.Get<ui::OptionButton>("optUniPolar")));
        user_.Click(form.Get<ui::CommandButton>("cmdOK"));
    });
    ASSERT_TRUE(user_.Click(Button("cmdConfig")));
    ASSERT_EQ(Shared().gBipolar, kFalse);
    EXPECT_EQ(LabelOf("lblMinVolts").Caption(), "0V");
    EXPECT_EQ(LabelOf("lblCenter").Caption(), "");
    EXPECT_EQ(LabelOf("lblMaxVolts").Caption(), "10V");
    mqplot32::Snapshot plot = PlotOf().Take();
    EXPECT_EQ(plot.yMinimum, 0.0f);
    EXPECT_EQ(plot.yGridStep, 2.0f);  // five divisions of 2 V
    EXPECT_EQ(GridOf().TextMatrix(0, 1).substr(0, 4), "0 to");
    Record(1);
    EXPECT_NEAR(chart_->Records()[0].volts, 7.5f, 0.01f);  // a 12-bit converter
}

class ChartExportTest : public ChartTest {
  protected:
    std::string Sheet(const fs::path& book) { return ZipPart(book, "xl/worksheets/sheet1.xml"); }
    std::string Names(const fs::path& book) { return ZipPart(book, "xl/workbook.xml"); }
    static std::string CellOf(const std::string& sheet, const std::string& reference) {
        std::size_t at = sheet.find("<c r=\"" + reference + "\"");
        if (at == std::string::npos)
            return "";
        std::size_t v = sheet.find("<v>", at);
        std::size_t end = sheet.find("</v>", v);
        return sheet.substr(v + 3, end - v - 3);
    }
};

TEST_F(ChartExportTest, TwoChannelsOverThreeTicksFillTwoNamedColumnsOfThreeRows) {
    OpenOnBoard();
    AddChannel("1");
    Record(3);
    Stop();
    const fs::path book = files_ / "chart.xls";
    AnswerFileWith(book);
    ASSERT_TRUE(user_.Click(Button("cmdSheet")));
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << Boxes(*runtime_).front();
    std::string sheet = Sheet(book);
    for (int t = 0; t < 3; ++t)
        for (int c = 0; c < 2; ++c) {
            std::string reference =
                std::string(1, static_cast<char>('A' + c)) + std::to_string(t + 1);
            EXPECT_EQ(
                uilang::Val(CellOf(sheet, reference)),
                static_cast<double>(chart_->Records()[static_cast<std::size_t>(t * 2 + c)].volts))
                << reference;
        }
    EXPECT_EQ(CellOf(sheet, "A4"), "");
    EXPECT_EQ(CellOf(sheet, "C1"), "");
    std::string names = Names(book);
    EXPECT_NE(names.find("<definedName name=\"Channel0\">Sheet1!$A:$A</definedName>"),
              std::string::npos)
        << names;
    EXPECT_NE(names.find("<definedName name=\"Channel1\">Sheet1!$B:$B</definedName>"),
              std::string::npos);
    auto& progress = chart_->Get<ui::ProgressBar>("progSave");
    EXPECT_EQ(progress.Max(), 3.0f);
    EXPECT_EQ(progress.Value(), 2.0f);
    EXPECT_FALSE(progress.Visible());
    EXPECT_TRUE(Button("cmdStart").Enabled());
}

TEST_F(ChartExportTest, TheRecordingsOwnChannelsFillAnExistingWorkbookThatKeepsTheRest) {
    OpenOnBoard();
    Record(7);  // one channel: seven records
    Stop();
    const fs::path book = files_ / "kept.xlsx";
    {
        namespace xlid = spreadsheet::dispid;
        uilang::Object app = ui::CreateObject(spreadsheet::kApplicationProgId);
        uilang::Object books = uilang::ToObject(app->Get(xlid::Workbooks, {}));
        uilang::Object wb = uilang::ToObject(books->Call(xlid::Add, {}));
        uilang::Object first = uilang::ToObject(wb->Get(xlid::Sheets, {Value{std::int16_t{1}}}));
        for (std::int32_t column : {1, 4}) {
            uilang::Object range = uilang::ToObject(first->Get(xlid::Columns, {Value{column}}));
            for (std::int32_t row = 1; row <= 9; ++row)
                uilang::ToObject(range->Get(xlid::Cells, {Value{row}, Value{std::int32_t{1}}}))
                    ->Put(xlid::Value, Value{-1.0});
        }
        wb->Call(xlid::SaveAs, {Value{book.string()}});
        books->Call(xlid::Close, {});
    }
    // Channels added after the recording change neither its groups nor its names.
    AddChannel("3");
    AnswerFileWith(book);
    ASSERT_TRUE(user_.Click(Button("cmdSheet")));
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << Boxes(*runtime_).front();
    std::string sheet = Sheet(book);
    for (int t = 0; t < 7; ++t)
        EXPECT_EQ(uilang::Val(CellOf(sheet, "A" + std::to_string(t + 1))),
                  static_cast<double>(chart_->Records()[static_cast<std::size_t>(t)].volts));
    EXPECT_EQ(CellOf(sheet, "A8"), "-1");  // beyond what was written, the old cells stay
    EXPECT_EQ(CellOf(sheet, "D1"), "-1");
    EXPECT_EQ(CellOf(sheet, "B1"), "");
    std::string names = Names(book);
    EXPECT_NE(names.find("Channel0"), std::string::npos);
    EXPECT_EQ(names.find("Channel3"), std::string::npos);
    EXPECT_EQ(chart_->Get<ui::ProgressBar>("progSave").Max(), 7.0f);
}

TEST_F(ChartExportTest, ARunningInstanceIsUsedAndItsWorkbooksClosedAtTheEnd) {
    OpenOnBoard();
    Record(2);
    Stop();
    uilang::Object running = ui::CreateObject(spreadsheet::kApplicationProgId);
    uilang::Object books = uilang::ToObject(running->Get(spreadsheet::dispid::Workbooks, {}));
    books->Call(spreadsheet::dispid::Add, {});
    const fs::path book = files_ / "attached.xlsx";
    AnswerFileWith(book);
    ASSERT_TRUE(user_.Click(Button("cmdSheet")));
    EXPECT_TRUE(fs::exists(book));
    EXPECT_EQ(uilang::ToLong(books->Get(spreadsheet::dispid::Count, {})), 0);
}

TEST_F(ChartExportTest, WithoutTheApplicationABoxSaysSoAndACancelEndsSilently) {
    OpenOnBoard();
    Record(1);
    Stop();
    CancelFile();
    ASSERT_TRUE(user_.Click(Button("cmdSheet")));
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << Boxes(*runtime_).front();
    EXPECT_TRUE(Button("cmdStart").Enabled());
    EXPECT_EQ(LabelOf("lblFileName").Caption(), "");

    ASSERT_TRUE(ui::UnregisterServerModule(spreadsheet::kModuleName));
    ASSERT_TRUE(user_.Click(Button("cmdSheet")));
    EXPECT_EQ(Boxes(*runtime_),
              std::vector<std::string>{
                  "Strip Chart: Excel file support not available.\r\nExcel not loaded."});
    EXPECT_TRUE(Button("cmdStart").Enabled());
}

}  // namespace
}  // namespace larkspur::testing
