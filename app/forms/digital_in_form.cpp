#include "forms/digital_in_form.h"

#include "forms/digital_in_form_design.h"
#include "modules/acq_members.h"
#include "modules/bit_lamps.h"
#include "modules/panel_pattern.h"
#include "uilang/conversions.h"
#include "uilang/runtime_error.h"

namespace larkspur {
namespace {

namespace id = acq::dispid;

constexpr const char* kTitle = "Single Value Digital In";
constexpr const char* kNotAvailable = "Digital Input Subsystem not available on ";
constexpr const char* kCaptionPrefix = "Single Value Digital In - ";
constexpr int kPortLetters = 12;  // "A" to "L"
constexpr int kLamps = 8;
constexpr int kDataColumn = 1;
constexpr int kLetterColumnWidth = 600;  // twips
constexpr int kDataColumnWidth = 900;
constexpr std::int16_t kSingleValueFlow = 1;
constexpr std::int32_t kWholePort = 0;  // channel 0 reads every line of the port
constexpr double kNoGain = 0.0;

ui::DefaultInstance<DigitalInForm>& Instance() {
    static ui::DefaultInstance<DigitalInForm> instance;
    return instance;
}

}  // namespace

std::shared_ptr<DigitalInForm> DigitalIn() {
    return Instance().Get();
}

void ResetDigitalIn() {
    Instance().Reset();
}

DigitalInForm::DigitalInForm() : ui::Form(DigitalInFormDesign()) {}

uilang::Automation& DigitalInForm::Acq() const {
    return Get<ui::HostedControl>("mqAcqDin").Members();
}

void DigitalInForm::Bind() {
    onLoad = [this] {
        Get<ui::PictureBox>("picOn").SetPicture(LampPicture(true));
        Get<ui::PictureBox>("picOff").SetPicture(LampPicture(false));
        auto& grid = Get<ui::Grid>("grdDin");
        grid.SetColWidth(0, kLetterColumnWidth);
        grid.SetColWidth(kDataColumn, kDataColumnWidth);
        panel::FillBoards(Acq(), Get<ui::ComboBox>("cboBoard"));
    };
    onUnload = [this] { panel::ReleaseSubsystem(Get<ui::HostedControl>("mqAcqDin")); };
    auto& board = Get<ui::ComboBox>("cboBoard");
    board.onClick = [this, &board] { SetupBoard(board.Text()); };
    Get<ui::Grid>("grdDin").onClick = [this] { PortClick(); };
    Get<ui::CommandButton>("cmdGet").onClick = [this] { GetClick(); };
}

void DigitalInForm::SetupBoard(const std::string& board) {
    try {
        Find("cmdGet").SetEnabled(false);
        Find("fraDigitalIn").SetEnabled(false);

        uilang::Automation& acq = Acq();
        panel::OpenSubsystem(acq, board, acq::kDigitalInput);
        acq.Put(id::DataFlow, kSingleValueFlow);
        std::int16_t ports = uilang::ToShort(acq.Call(id::GetDevCaps, {acq::devcaps::DinElements}));

        auto& grid = Get<ui::Grid>("grdDin");
        grid.Clear();
        grid.SetRows(0);
        for (int port = 0; port < ports; ++port)
            grid.AddItem(panel::PortLetter(port, kPortLetters));

        Get<ui::ListBox>("lstDin").Clear();
        const ui::Picture& off = Get<ui::PictureBox>("picOff").GetPicture();
        for (int bit = 0; bit < kLamps; ++bit)
            Get<ui::Image>("imgDi", bit).SetPicture(off);

        Find("cmdGet").SetEnabled(true);
        Find("fraDigitalIn").SetEnabled(true);
        SetCaption(kCaptionPrefix + board);
    } catch (const uilang::RuntimeError&) {
        panel::ShowSetupFailure(kNotAvailable, board, kTitle);
    }
}

void DigitalInForm::PortClick() {
    auto& grid = Get<ui::Grid>("grdDin");
    if (grid.Rows() == 0)
        return;
    try {
        uilang::Automation& acq = Acq();
        panel::ChooseElement(acq, acq::kDigitalInput, static_cast<std::int16_t>(grid.Row()));
        acq.Put(id::DataFlow, kSingleValueFlow);
    } catch (const uilang::RuntimeError& error) {
        panel::ShowOperationError(Acq(), error, kTitle);
    }
}

void DigitalInForm::GetClick() {
    uilang::Automation& acq = Acq();
    try {
        acq.Call(id::Config, {});
        std::int32_t value = uilang::ToLong(acq.Call(id::GetSingleValue, {kWholePort, kNoGain}));
        auto& grid = Get<ui::Grid>("grdDin");
        grid.SetRow(uilang::ToShort(acq.Get(id::SubSysElement)));
        grid.SetCol(kDataColumn);
        grid.SetText(uilang::Hex(value));
        const ui::Picture& on = Get<ui::PictureBox>("picOn").GetPicture();
        const ui::Picture& off = Get<ui::PictureBox>("picOff").GetPicture();
        for (int bit = 0; bit < kLamps; ++bit)
            Get<ui::Image>("imgDi", bit).SetPicture((value & (1 << bit)) != 0 ? on : off);
        auto& list = Get<ui::ListBox>("lstDin");
        list.Clear();
        list.AddItem(uilang::Hex(value));
    } catch (const uilang::RuntimeError& error) {
        panel::ShowOperationError(acq, error, kTitle);
    }
}

}  // namespace larkspur
