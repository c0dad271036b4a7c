#include "forms/digital_out_form.h"

#include "forms/digital_out_form_design.h"
#include "modules/acq_members.h"
#include "modules/bit_lamps.h"
#include "modules/panel_pattern.h"
#include "uilang/conversions.h"
#include "uilang/runtime_error.h"

namespace larkspur {
namespace {

namespace id = acq::dispid;

constexpr const char* kTitle = "Digital Out";
constexpr const char* kErrorTitle = "Digital Out Error";
constexpr const char* kNotAvailable = "Digital Output Subsystem not available on ";
constexpr const char* kCaptionPrefix = "Single Value Digital Out - ";
constexpr const char* kHexPrefix = "&H";
constexpr int kPortLetters = 8;  // "A" to "H"
constexpr int kBits = 8;
constexpr std::int32_t kBitsMask = 0xFF;
constexpr int kDataColumn = 1;
constexpr int kLetterColumnWidth = 600;  // twips
constexpr int kDataColumnWidth = 900;
constexpr std::int16_t kSingleValueFlow = 1;
constexpr std::int32_t kWholePort = 0;  // channel 0 writes every line of the port
constexpr double kNoGain = 0.0;

ui::DefaultInstance<DigitalOutForm>& Instance() {
    static ui::DefaultInstance<DigitalOutForm> instance;
    return instance;
}

}  // namespace

std::shared_ptr<DigitalOutForm> DigitalOut() {
    return Instance().Get();
}

void ResetDigitalOut() {
    Instance().Reset();
}

DigitalOutForm::DigitalOutForm() : ui::Form(DigitalOutFormDesign()) {}

uilang::Automation& DigitalOutForm::Acq() const {
    return Get<ui::HostedControl>("mqAcqDout").Members();
}

void DigitalOutForm::Bind() {
    onLoad = [this] {
        Get<ui::PictureBox>("picOn").SetPicture(LampPicture(true));
        Get<ui::PictureBox>("picOff").SetPicture(LampPicture(false));
        auto& grid = Get<ui::Grid>("grdDout");
        grid.SetColWidth(0, kLetterColumnWidth);
        grid.SetColWidth(kDataColumn, kDataColumnWidth);
        panel::FillBoards(Acq(), Get<ui::ComboBox>("cboBoard"));
    };
    onUnload = [this] { panel::ReleaseSubsystem(Get<ui::HostedControl>("mqAcqDout")); };
    auto& board = Get<ui::ComboBox>("cboBoard");
    board.onClick = [this, &board] { SetupBoard(board.Text()); };
    Get<ui::Grid>("grdDout").onClick = [this] { PortClick(); };
    for (int bit = 0; bit < kBits; ++bit)
        Get<ui::CommandButton>("cmdDo", bit).onClick = [this, bit] { BitClick(bit); };
    Get<ui::TextBox>("txtDout").onValidate = [this](bool&) { TextAccepted(); };
    Get<ui::CommandButton>("cmdSend").onClick = [this] { SendClick(); };
}

void DigitalOutForm::SetupBoard(const std::string& board) {
    try {
        Find("cmdSend").SetEnabled(false);
        Find("fraDigitalOut").SetEnabled(false);

        uilang::Automation& acq = Acq();
        panel::OpenSubsystem(acq, board, acq::kDigitalOutput);
        std::int16_t ports =
            uilang::ToShort(acq.Call(id::GetDevCaps, {acq::devcaps::DoutElements}));
        auto& grid = Get<ui::Grid>("grdDout");
        grid.Clear();
        grid.SetRows(0);
        for (int port = 0; port < ports; ++port)
            grid.AddItem(panel::PortLetter(port, kPortLetters));

        outputValue_ = 0;
        Get<ui::TextBox>("txtDout").SetText(uilang::Hex(outputValue_));
        suppressText_ = false;
        const ui::Picture& off = Get<ui::PictureBox>("picOff").GetPicture();
        for (int bit = 0; bit < kBits; ++bit) {
            auto& button = Get<ui::CommandButton>("cmdDo", bit);
            button.SetEnabled(true);
            button.SetPicture(off);
        }

        Find("cmdSend").SetEnabled(true);
        Find("fraDigitalOut").SetEnabled(true);
        SetCaption(kCaptionPrefix + board);
    } catch (const uilang::RuntimeError&) {
        panel::ShowSetupFailure(kNotAvailable, board, kTitle);
    }
}

void DigitalOutForm::PortClick() {
    auto& grid = Get<ui::Grid>("grdDout");
    if (grid.Rows() == 0)
        return;
    try {
        panel::ChooseElement(Acq(), acq::kDigitalOutput, static_cast<std::int16_t>(grid.Row()));
    } catch (const uilang::RuntimeError& error) {
        panel::ShowOperationError(Acq(), error, kErrorTitle);
    }
}

void DigitalOutForm::BitClick(int bit) {
    const std::int32_t mask = 1 << bit;
    bool wasSet = (outputValue_ & mask) != 0;
    outputValue_ = wasSet ? outputValue_ - mask : outputValue_ + mask;
    Get<ui::CommandButton>("cmdDo", bit)
        .SetPicture(Get<ui::PictureBox>(wasSet ? "picOff" : "picOn").GetPicture());
    if (!suppressText_)
        Get<ui::TextBox>("txtDout").SetText(uilang::Hex(outputValue_));
}

// The bits of the typed value that differ from the output value are clicked over, so that the
// buttons follow; only bits 0 to 7 are taken, whatever the text's size, and the text stays as
// typed.
void DigitalOutForm::TextAccepted() {
    auto typed =
        static_cast<std::int32_t>(uilang::Val(kHexPrefix + Get<ui::TextBox>("txtDout").Text()));
    std::int32_t difference = (typed ^ outputValue_) & kBitsMask;
    if (difference == 0)
        return;
    suppressText_ = true;
    for (int bit = 0; bit < kBits; ++bit)
        if ((difference & (1 << bit)) != 0)
            BitClick(bit);
    suppressText_ = false;
}

void DigitalOutForm::SendClick() {
    auto& grid = Get<ui::Grid>("grdDout");
    if (grid.Rows() == 0)
        return;
    uilang::Automation& acq = Acq();
    try {
        acq.Put(id::DataFlow, kSingleValueFlow);
        acq.Call(id::Config, {});
        acq.Call(id::PutSingleValue, {kWholePort, kNoGain, outputValue_});
        grid.SetRow(uilang::ToShort(acq.Get(id::SubSysElement)));
        grid.SetCol(kDataColumn);
        grid.SetText(uilang::Hex(outputValue_));
    } catch (const uilang::RuntimeError& error) {
        panel::ShowOperationError(acq, error, kErrorTitle);
    }
}

}  // namespace larkspur
