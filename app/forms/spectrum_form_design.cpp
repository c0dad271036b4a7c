// What the spectrum panel is at design time.
#include "forms/spectrum_form_design.h"

#include "modules/acq_members.h"
#include "mqplot32.h"

namespace larkspur {
namespace {

using ui::ControlDesign;
using ui::Kind;

ControlDesign Make(Kind kind, const char* name, const char* container, const char* caption,
                   const char* toolTip, int left, int top, int width, int height,
                   bool enabled = true) {
    ControlDesign desc;
    desc.kind = kind;
    desc.name = name;
    desc.container = container;
    desc.caption = caption;
    desc.toolTip = toolTip;
    desc.left = left;
    desc.top = top;
    desc.width = width;
    desc.height = height;
    desc.enabled = enabled;
    return desc;
}

constexpr int kSide = 8520;  // the column of settings right of the plot
constexpr int kColumn = 2880;
constexpr int kButtonWidth = 1335;
constexpr int kButtonHeight = 375;
constexpr int kOptionHeight = 255;
constexpr int kOptionStep = 285;

struct Option {
    const char* name;
    const char* caption;
};

constexpr Option kPoints[] = {
    {"opt256", "256"}, {"opt512", "512"}, {"opt1024", "1024"}, {"opt2048", "2048"}};
constexpr Option kWindows[] = {{"optRect", "Rectangle"},
                               {"optHanning", "Hanning"},
                               {"optHamming", "Hamming"},
                               {"optBlackman", "Blackman"},
                               {"optBlkHarris67", "Blackman Harris 67"},
                               {"optBlkHarris92", "Blackman Harris 92"}};

}  // namespace

ui::FormDesign SpectrumFormDesign() {
    ui::FormDesign form;
    form.name = "frmFFT";
    form.caption = "FFT";
    form.mdiChild = true;
    form.width = 11500;
    form.height = 7500;
    auto& c = form.controls;
    c.push_back(Make(Kind::Frame, "fraBoard", "", "Board", "", kSide, 60, kColumn, 690));
    c.push_back(
        Make(Kind::ComboBox, "cboBoard", "fraBoard", "", "Select a Board", 120, 270, 2640, 315));
    c.push_back(
        Make(Kind::Frame, "fraChannel", "", "Channel", "", kSide, 780, kColumn, 690, false));
    ControlDesign channel =
        Make(Kind::ComboBox, "cboChan", "fraChannel", "", "", 120, 270, 1140, 315, false);
    channel.editable = true;
    c.push_back(channel);

    c.push_back(Make(Kind::Frame, "fraPoints", "", "Points", "", kSide, 1500, kColumn, 900, false));
    for (int i = 0; i < 4; ++i)
        c.push_back(Make(Kind::OptionButton, kPoints[i].name, "fraPoints", kPoints[i].caption, "",
                         120 + (i % 2) * 1380, 270 + (i / 2) * kOptionStep, 1200, kOptionHeight));
    c.push_back(
        Make(Kind::Frame, "fraWinType", "", "Window", "", kSide, 2430, kColumn, 1980, false));
    for (int i = 0; i < 6; ++i)
        c.push_back(Make(Kind::OptionButton, kWindows[i].name, "fraWinType", kWindows[i].caption,
                         "", 120, 270 + i * kOptionStep, 2640, kOptionHeight));

    c.push_back(Make(Kind::CommandButton, "cmdStart", "", "Start", "Start Scope", kSide, 4500,
                     kButtonWidth, kButtonHeight, false));
    c.push_back(Make(Kind::CommandButton, "cmdStop", "", "Stop", "", kSide + 1545, 4500,
                     kButtonWidth, kButtonHeight, false));
    c.push_back(Make(Kind::CommandButton, "cmdPause", "", "Pause", "", kSide, 4980, kButtonWidth,
                     kButtonHeight, false));
    c.push_back(Make(Kind::CommandButton, "cmdConfig", "", "Config", "Configure ", kSide + 1545,
                     4980, kButtonWidth, kButtonHeight, false));
    c.push_back(Make(Kind::CommandButton, "cmdHelp", "", "Help", "", kSide, 5460, kButtonWidth,
                     kButtonHeight));
    c.push_back(Make(Kind::CommandButton, "cmdPrint", "", "Print", "Print the FFT", kSide + 1545,
                     5460, kButtonWidth, kButtonHeight));

    c.push_back(Make(Kind::Label, "lblMaxVolts", "", "", "", 60, 60, 780, 255));
    c.push_back(Make(Kind::Label, "lblMinVolts", "", "-120", "", 60, 6300, 780, 255));
    c.push_back(Make(Kind::Label, "lblFreqTitle", "", "Frequency (Hz)", "", 5400, 6660, 1560, 255));
    c.push_back(Make(Kind::Label, "lblFreq", "", "1.0", "", 7080, 6660, 1200, 255));
    ControlDesign plot = Make(Kind::Hosted, "mqPlotFFT", "", "", "", 900, 60, 7500, 6495);
    plot.progId = std::string(mqplot32::kProgId);
    c.push_back(plot);
    ControlDesign acq = Make(Kind::Hosted, "mqAcqFFT", "", "", "", 0, 0, 0, 0);
    acq.progId = acq::kProgId;
    acq.visible = false;
    c.push_back(acq);
    c.push_back(Make(Kind::CommonDialog, "dlgFFT", "", "", "", 0, 0, 0, 0));
    return form;
}

}  // namespace larkspur
