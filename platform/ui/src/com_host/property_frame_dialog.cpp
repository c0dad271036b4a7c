// The property frame's window, and the forms runtime's part of OleCreatePropertyFrame: shows the
// frame's pages in a modal tabbed dialog.
#include "ui/property_frame_dialog.h"

#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <map>

#include "com/property_pages.h"
#include "page_host.h"
#include "ui/runtime.h"

namespace ui {
namespace {

constexpr int kTabHeight = 360;
constexpr int kMargin = 105;
constexpr int kButtonWidth = 1125;
constexpr int kButtonHeight = 345;
constexpr int kButtonGap = 90;
constexpr int kButtonCount = 4;
constexpr int kSmallestPageWidth = kButtonCount * (kButtonWidth + kButtonGap);

// The open frame windows by their window token (frames can nest: a page may open one).
std::map<std::uintptr_t, PropertyFrameDialog*>& OpenDialogs() {
    static std::map<std::uintptr_t, PropertyFrameDialog*> dialogs;
    return dialogs;
}

std::uintptr_t TokenOf(HWND window) {
    return reinterpret_cast<std::uintptr_t>(window);
}

HWND WindowOf(std::uint32_t token) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(token));
}

ControlDesign Item(Kind kind, const char* name, const char* caption, int left, int top, int width,
                   int height) {
    ControlDesign desc;
    desc.kind = kind;
    desc.name = name;
    desc.caption = caption;
    desc.left = left;
    desc.top = top;
    desc.width = width;
    desc.height = height;
    return desc;
}

FormDesign DialogDesign(com::PropertyFrame& frame) {
    int pageWidth = kSmallestPageWidth;
    int pageHeight = 0;
    std::vector<std::string> captions;
    for (std::size_t i = 0; i < frame.PageCount(); ++i) {
        pageWidth = std::max(pageWidth, static_cast<int>(frame.Info(i).size.cx) * kTwipsPerPixel);
        pageHeight = std::max(pageHeight, static_cast<int>(frame.Info(i).size.cy) * kTwipsPerPixel);
        captions.push_back(frame.Info(i).title);
    }
    FormDesign desc;
    desc.name = "PropertyFrame";
    desc.caption = frame.Caption();
    desc.width = pageWidth + 2 * kMargin;
    const int buttonsTop = kMargin + kTabHeight + pageHeight + kMargin;
    desc.height = buttonsTop + kButtonHeight + kMargin;
    ControlDesign tabs =
        Item(Kind::TabStrip, "tabPages", "", kMargin, kMargin, pageWidth, kTabHeight);
    tabs.items = captions;
    tabs.keys = captions;
    desc.controls.push_back(tabs);
    desc.controls.push_back(
        Item(Kind::Frame, "fraPage", "", kMargin, kMargin + kTabHeight, pageWidth, pageHeight));
    const char* names[kButtonCount] = {"cmdOK", "cmdCancel", "cmdApply", "cmdHelp"};
    const char* texts[kButtonCount] = {"OK", "Cancel", "&Apply", "Help"};
    int left = kMargin + pageWidth - kButtonCount * (kButtonWidth + kButtonGap) + kButtonGap;
    for (int i = 0; i < kButtonCount; ++i) {
        ControlDesign button = Item(Kind::CommandButton, names[i], texts[i], left, buttonsTop,
                                    kButtonWidth, kButtonHeight);
        button.isDefault = i == 0;
        button.isCancel = i == 1;
        desc.controls.push_back(button);
        left += kButtonWidth + kButtonGap;
    }
    return desc;
}

// Shows frames while a forms runtime exists; installed when the forms runtime loads.
class DialogWindow final : public com::PropertyFrameWindow {
  public:
    HRESULT RunModal(com::PropertyFrame& frame, HWND, UINT, UINT) override {
        if (Runtime::CurrentIfAny() == nullptr)
            return E_FAIL;
        PropertyFrameDialog dialog(frame);
        dialog.ShowModal();
        if (dialog.Loaded())
            dialog.Unload();
        return S_OK;
    }
};

struct Installer {
    Installer() { previous = com::SetPropertyFrameWindow(&window); }
    ~Installer() { com::SetPropertyFrameWindow(previous); }
    DialogWindow window;
    com::PropertyFrameWindow* previous = nullptr;
} gInstaller;

}  // namespace

PropertyFrameDialog::PropertyFrameDialog(com::PropertyFrame& frame)
    : Form(DialogDesign(frame)), frame_(frame) {}

PropertyFrameDialog::~PropertyFrameDialog() {
    Close();
}

void PropertyFrameDialog::Bind() {
    OpenDialogs()[hWnd()] = this;
    Tabs().onClick = [this] { ShowTab(Tabs().SelectedIndex() - 1); };
    OkButton().onClick = [this] {
        if (frame_.Ok())
            Unload();
    };
    CancelButton().onClick = [this] { Unload(); };
    ApplyButton().onClick = [this] { frame_.Apply(); };
    HelpButton().onClick = [this] {
        frame_.Help([this](const std::string& file, DWORD context) {
            Runtime::Current().WinHelp(hWnd(), file, kHelpContext, context);
        });
    };
    frame_.onStatusChange = [this] { UpdateApply(); };
    frame_.onShowPage = [this](std::size_t index) {
        Tabs().SetSelectedIndex(static_cast<int>(index) + 1);
    };
    onUnload = [this] { Close(); };
    ShowTab(0);
    UpdateApply();
}

// The pages go before the window does: their windows live inside it.
void PropertyFrameDialog::Close() {
    if (closed_)
        return;
    closed_ = true;
    frame_.onStatusChange = nullptr;
    frame_.onShowPage = nullptr;
    frame_.Close();
    for (auto it = OpenDialogs().begin(); it != OpenDialogs().end();)
        it = it->second == this ? OpenDialogs().erase(it) : std::next(it);
}

void PropertyFrameDialog::ShowTab(int index) {
    if (closed_ || index < 0 || static_cast<std::size_t>(index) >= frame_.PageCount())
        return;
    const Control& area = Get<Frame>("fraPage");
    const RECT rect{0, 0, area.Width() / kTwipsPerPixel, area.Height() / kTwipsPerPixel};
    showing_ = static_cast<std::size_t>(index);
    frame_.ShowPage(showing_, WindowOf(hWnd()), rect);
    auto page = pages_.find(showing_);
    shown_ = page != pages_.end() ? page->second : nullptr;
}

void PropertyFrameDialog::UpdateApply() {
    if (!closed_)
        ApplyButton().SetEnabled(frame_.Dirty());
}

QWidget* PropertyFrameDialog::PageArea() const {
    return Get<Frame>("fraPage").Widget();
}

void PropertyFrameDialog::Adopt(Form& page) {
    pages_[showing_] = &page;
}

void PropertyFrameDialog::Release(Form& page) {
    for (auto it = pages_.begin(); it != pages_.end();)
        it = it->second == &page ? pages_.erase(it) : std::next(it);
    if (shown_ == &page)
        shown_ = nullptr;
}

QWidget* AdoptPage(HWND parent, Form& page) {
    auto found = OpenDialogs().find(TokenOf(parent));
    if (found == OpenDialogs().end())
        return nullptr;
    found->second->Adopt(page);
    return found->second->PageArea();
}

void ReleasePage(HWND parent, Form& page) {
    auto found = OpenDialogs().find(TokenOf(parent));
    if (found != OpenDialogs().end())
        found->second->Release(page);
}

}  // namespace ui
