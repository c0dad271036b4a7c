// The class framework's property page: its window from the dialog template, inside the frame's
// page area; the exchange of members with controls and with the first object's properties.
#include "ui/property_page.h"

#include <QWidget>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "com/browsing.h"
#include "com/bstr.h"
#include "page_host.h"
#include "ui/dialog_units.h"
#include "ui/runtime.h"

namespace ui {
namespace {

constexpr const char* kControlPrefix = "ctl";

// Thrown by a refused save: the message and the control to focus.
struct Refusal {
    std::string message;
    int control;
};

int ControlId(const std::string& name) {
    if (name.rfind(kControlPrefix, 0) != 0)
        return 0;
    return std::atoi(name.c_str() + std::char_traits<char>::length(kControlPrefix));
}

std::string Lower(const std::string& text) {
    std::string lower = text;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

std::u16string Wide(const char* text) {
    std::u16string wide;
    for (const char* c = text; *c != 0; ++c)
        wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(*c)));
    return wide;
}

std::string NumberText(double value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%g", value);
    return text;
}

template <typename T>
std::string ShownNumber(T value) {
    if constexpr (std::is_floating_point_v<T>)
        return NumberText(value);
    else
        return std::to_string(value);
}

// The whole text as a number of T; false when it is not one or does not fit.
template <typename T>
bool ParseNumber(const std::string& text, T* value) {
    const char* begin = text.c_str();
    while (*begin == ' ')
        ++begin;
    char* end = nullptr;
    errno = 0;
    if constexpr (std::is_floating_point_v<T>) {
        const double parsed = std::strtod(begin, &end);
        if (end == begin || errno != 0 || !std::isfinite(parsed))
            return false;
        *value = static_cast<T>(parsed);
    } else {
        const long long parsed = std::strtoll(begin, &end, 10);
        if (end == begin || errno != 0 || parsed < std::numeric_limits<T>::min() ||
            parsed > std::numeric_limits<T>::max())
            return false;
        *value = static_cast<T>(parsed);
    }
    while (*end == ' ')
        ++end;
    return *end == 0;
}

}  // namespace

std::string DialogControlName(int id) {
    return kControlPrefix + std::to_string(id);
}

ControlDesign PageItem(Kind kind, int id, const char* caption, int x, int y, int width,
                       int height) {
    // A combo's template height includes its dropped list; the box itself is one line high.
    constexpr int kComboBoxHeight = 12;
    const std::string name = DialogControlName(id);
    return DialogItem(kind, name.c_str(), caption, x, y, width,
                      kind == Kind::ComboBox ? std::min(height, kComboBoxHeight) : height);
}

int FindStringExact(const ComboBox& combo, const std::string& text) {
    const std::string wanted = Lower(text);
    for (int i = 0; i < combo.ListCount(); ++i)
        if (Lower(combo.List(i)) == wanted)
            return i;
    return -1;
}

// ---- DataExchange

void DataExchange::Refuse(const std::string& message) {
    throw Refusal{message, lastControl_};
}

bool DataExchange::Read(const char* name, VARTYPE type, VARIANT* value) {
    IDispatch* object = page_.dispatch_;
    if (object == nullptr)
        return false;
    std::u16string wide = Wide(name);
    LPOLESTR names[] = {wide.data()};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id)))
        return false;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    com::Variant result;
    EXCEPINFO exception{};
    UINT argumentError = 0;
    const HRESULT got = object->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result,
                                       &exception, &argumentError);
    ClearExcepInfo(&exception);
    if (FAILED(got))
        return false;
    return SUCCEEDED(VariantChangeType(value, &result, 0, type));
}

void DataExchange::Write(const char* name, int id, std::function<com::Variant()> value) {
    if (id == 0 || page_.Changed(id))
        writes_.emplace_back(name, std::move(value));
}

bool DataExchange::RunWrites() {
    IDispatch* object = page_.dispatch_;
    for (auto& [name, valueOf] : writes_) {
        if (object == nullptr)
            return true;
        com::Variant value = valueOf();
        std::u16string wide = Wide(name.c_str());
        LPOLESTR names[] = {wide.data()};
        DISPID id = DISPID_UNKNOWN;
        std::string error;
        if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, 0, &id))) {
            error = "Unknown property " + name + ".";
        } else {
            DISPID named = DISPID_PROPERTYPUT;
            DISPPARAMS params{&value, &named, 1, 1};
            EXCEPINFO exception{};
            UINT argumentError = 0;
            const HRESULT put = object->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params,
                                               nullptr, &exception, &argumentError);
            if (FAILED(put))
                error = put == DISP_E_EXCEPTION && exception.bstrDescription != nullptr
                            ? com::NarrowFromBstr(exception.bstrDescription)
                            : "Unable to set property " + name + ".";
            ClearExcepInfo(&exception);
        }
        if (!error.empty()) {
            page_.ShowError(error);
            return false;
        }
    }
    return true;
}

void DataExchange::Property(const char* name, std::string& member, int id) {
    if (saving_) {
        Write(name, id, [&member] { return com::Variant::Text(member); });
        return;
    }
    com::Variant value;
    if (Read(name, VT_BSTR, &value))
        member = com::NarrowFromBstr(value.bstrVal);
}

void DataExchange::Property(const char* name, std::int16_t& member, int id) {
    if (saving_) {
        Write(name, id, [&member] { return com::Variant::Short(member); });
        return;
    }
    com::Variant value;
    if (Read(name, VT_I2, &value))
        member = value.iVal;
}

void DataExchange::Property(const char* name, std::int32_t& member, int id) {
    if (saving_) {
        Write(name, id, [&member] { return com::Variant::Long(member); });
        return;
    }
    com::Variant value;
    if (Read(name, VT_I4, &value))
        member = value.lVal;
}

void DataExchange::Property(const char* name, std::uint32_t& member, int id) {
    if (saving_) {
        Write(name, id, [&member] { return com::Variant::Long(static_cast<LONG>(member)); });
        return;
    }
    com::Variant value;
    if (Read(name, VT_I4, &value))
        member = static_cast<std::uint32_t>(value.lVal);
}

void DataExchange::Property(const char* name, double& member, int id) {
    if (saving_) {
        Write(name, id, [&member] { return com::Variant::Double(member); });
        return;
    }
    com::Variant value;
    if (Read(name, VT_R8, &value))
        member = value.dblVal;
}

void DataExchange::ComboIndex(int id, std::int16_t& member) {
    lastControl_ = id;
    ComboBox& combo = page_.Combo(id);
    if (saving_) {
        member = static_cast<std::int16_t>(combo.ListIndex());
        return;
    }
    combo.SetListIndex(member >= 0 && member < combo.ListCount() ? member : -1);
}

void DataExchange::ComboText(int id, std::string& member) {
    lastControl_ = id;
    ComboBox& combo = page_.Combo(id);
    if (saving_) {
        member = combo.Text();
        return;
    }
    combo.SetListIndex(FindStringExact(combo, member));
}

void DataExchange::Text(int id, std::string& member) {
    lastControl_ = id;
    TextBox& edit = page_.Edit(id);
    if (saving_)
        member = edit.Text();
    else
        edit.SetText(member);
}

std::string DataExchange::FieldText(int id) {
    Control& control = page_.PageForm()->Find(DialogControlName(id));
    if (auto* combo = dynamic_cast<ComboBox*>(&control))
        return combo->Text();
    return dynamic_cast<TextBox&>(control).Text();
}

void DataExchange::SetFieldText(int id, const std::string& text) {
    Control& control = page_.PageForm()->Find(DialogControlName(id));
    if (auto* combo = dynamic_cast<ComboBox*>(&control))
        combo->SetText(text);
    else
        dynamic_cast<TextBox&>(control).SetText(text);
}

template <typename T>
void DataExchange::Number(int id, T& member, const char* what, const char* format) {
    lastControl_ = id;
    if (!saving_) {
        if constexpr (std::is_floating_point_v<T>) {
            if (format != nullptr) {
                char text[64];
                std::snprintf(text, sizeof(text), format, static_cast<double>(member));
                SetFieldText(id, text);
                return;
            }
        }
        SetFieldText(id, ShownNumber(member));
        return;
    }
    T value{};
    if (!ParseNumber(FieldText(id), &value))
        Refuse(what);
    member = value;
}

void DataExchange::Text(int id, std::int16_t& member) {
    Number(id, member, "Please enter an integer.");
}
void DataExchange::Text(int id, std::int32_t& member) {
    Number(id, member, "Please enter an integer.");
}
void DataExchange::Text(int id, std::uint32_t& member) {
    Number(id, member, "Please enter a positive integer.");
}
void DataExchange::Text(int id, double& member) {
    Number(id, member, "Please enter a number.");
}
void DataExchange::Text(int id, double& member, const char* format) {
    Number(id, member, "Please enter a number.", format);
}

void DataExchange::Check(int id, bool& member) {
    lastControl_ = id;
    CheckBox& box = page_.CheckButton(id);
    if (saving_)
        member = box.Value();
    else
        box.SetValue(member);
}

void DataExchange::MinMax(double value, double min, double max) {
    if (saving_ && (value < min || value > max))
        Refuse("Please enter a number between " + NumberText(min) + " and " + NumberText(max) +
               ".");
}

// ---- PropertyPage

class PropertyPage::Sheet final : public Form {
  public:
    Sheet(PropertyPage& page, FormDesign design) : Form(std::move(design)), page_(page) {}

  protected:
    void Bind() override {
        page_.BindControls();
        page_.TrackChanges();
    }

  private:
    PropertyPage& page_;
};

PropertyPage::PropertyPage(PageTemplate dialog, PageDescription description)
    : dialog_(std::move(dialog)), description_(std::move(description)) {}

PropertyPage::~PropertyPage() {
    form_.reset();
    ReleaseObjects();
    if (site_ != nullptr)
        site_->Release();
}

HRESULT STDMETHODCALLTYPE PropertyPage::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPropertyPage) {
        *ppv = static_cast<IPropertyPage*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE PropertyPage::SetPageSite(IPropertyPageSite* site) {
    if (site != nullptr)
        site->AddRef();
    if (site_ != nullptr)
        site_->Release();
    site_ = site;
    return S_OK;
}

void PropertyPage::ReleaseObjects() {
    if (dispatch_ != nullptr)
        dispatch_->Release();
    dispatch_ = nullptr;
    for (IUnknown* object : objects_)
        object->Release();
    objects_.clear();
}

HRESULT STDMETHODCALLTYPE PropertyPage::SetObjects(ULONG count, IUnknown** objects) {
    if (count > 0 && objects == nullptr)
        return E_POINTER;
    ReleaseObjects();
    for (ULONG i = 0; i < count; ++i) {
        if (objects[i] == nullptr)
            continue;
        objects[i]->AddRef();
        objects_.push_back(objects[i]);
    }
    if (!objects_.empty())
        objects_.front()->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch_));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyPage::GetPageInfo(PROPPAGEINFO* info) {
    if (info == nullptr)
        return E_POINTER;
    info->pszTitle = com::AllocTaskText(description_.caption);
    info->pszDocString = com::AllocTaskText(description_.helpDocument);
    info->pszHelpFile = com::AllocTaskText(description_.helpFile);
    info->dwHelpContext = description_.helpContext;
    info->size = SIZEL{DluX(dialog_.width) / kTwipsPerPixel, DluY(dialog_.height) / kTwipsPerPixel};
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyPage::Activate(HWND parent, const RECT* area, BOOL) {
    if (form_)
        return E_UNEXPECTED;
    if (Runtime::CurrentIfAny() == nullptr)
        return E_FAIL;
    FormDesign design;
    design.name = "PropertyPage";
    design.caption = description_.caption;
    design.width = DluX(dialog_.width);
    design.height = DluY(dialog_.height);
    design.controls = dialog_.controls;
    form_ = std::make_unique<Sheet>(*this, std::move(design));
    form_->Load();
    parent_ = parent;
    if (QWidget* host = AdoptPage(parent, *form_)) {
        form_->Window()->setParent(host);
        form_->Window()->hide();
    }
    if (area != nullptr)
        Move(area);
    UpdateData(false);
    OnInitDialog();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyPage::Deactivate() {
    if (!form_)
        return E_UNEXPECTED;
    ReleasePage(parent_, *form_);
    form_->Unload();
    form_.reset();
    shown_ = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyPage::Show(UINT command) {
    if (!form_ || form_->Window() == nullptr)
        return E_UNEXPECTED;
    // A page shown again follows what the objects hold now (another page may have changed
    // them), unless the user has changes of their own on it.
    if (command != SW_HIDE && !dirty_ && shown_)
        UpdateData(false);
    shown_ = shown_ || command != SW_HIDE;
    form_->Window()->setVisible(command != SW_HIDE);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyPage::Move(const RECT* area) {
    if (area == nullptr)
        return E_POINTER;
    if (!form_)
        return E_UNEXPECTED;
    form_->SetLeft(area->left * kTwipsPerPixel);
    form_->SetTop(area->top * kTwipsPerPixel);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyPage::IsPageDirty() {
    return dirty_ ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE PropertyPage::Apply() {
    if (!dirty_)
        return S_OK;
    if (!UpdateData(true))
        return E_FAIL;
    changed_.clear();
    SetModified(false);
    OnApplied();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE PropertyPage::Help(LPCOLESTR) {
    try {
        return OnHelp() ? S_OK : E_NOTIMPL;
    } catch (...) {
        return E_FAIL;
    }
}

bool PropertyPage::OnHelp() {
    if (description_.helpFile.empty())
        return false;
    Runtime::Current().WinHelp(PageWindow(), description_.helpFile, kHelpContext,
                               description_.helpContext);
    return true;
}

bool PropertyPage::UpdateData(bool save) {
    if (!form_)
        return false;
    if (!save)
        ++loading_;
    DataExchange dx(*this, save);
    bool done = true;
    try {
        DoDataExchange(dx);
        if (save)
            done = dx.RunWrites();
    } catch (const Refusal& refusal) {
        Runtime::Current().MsgBox(refusal.message, kMbExclamation);
        if (Control* control = form_->FindIfAny(DialogControlName(refusal.control)))
            control->SetFocus();
        done = false;
    } catch (...) {
        if (!save)
            --loading_;
        throw;
    }
    if (!save) {
        --loading_;
        changed_.clear();
    }
    return done;
}

bool PropertyPage::TakeFields(const std::function<void(DataExchange&)>& exchange) {
    if (!form_)
        return false;
    DataExchange dx(*this, true);
    try {
        exchange(dx);
    } catch (const Refusal& refusal) {
        Runtime::Current().MsgBox(refusal.message, kMbExclamation);
        if (Control* control = form_->FindIfAny(DialogControlName(refusal.control)))
            control->SetFocus();
        return false;
    }
    return true;
}

void PropertyPage::ShowError(const std::string& text) {
    Runtime::Current().MsgBox(text, kMbExclamation);
}

void PropertyPage::SetModified(bool modified) {
    dirty_ = modified;
    if (site_ != nullptr)
        site_->OnStatusChange(modified ? PROPPAGESTATUS_DIRTY : PROPPAGESTATUS_CLEAN);
}

void PropertyPage::TrackChanges() {
    for (const auto& control : form_->Controls()) {
        const int id = ControlId(control->Name());
        auto track = [this, id](std::function<void()>& handler) {
            handler = [this, id, inner = std::move(handler)] {
                if (inner)
                    inner();
                ControlChanged(id);
            };
        };
        if (auto* combo = dynamic_cast<ComboBox*>(control.get()))
            track(combo->onClick);
        else if (auto* edit = dynamic_cast<TextBox*>(control.get()))
            track(edit->onChange);
        else if (auto* box = dynamic_cast<CheckBox*>(control.get()))
            track(box->onClick);
    }
}

void PropertyPage::ControlChanged(int id) {
    if (loading_ > 0 || quiet_.count(id) != 0)
        return;
    changed_.insert(id);
    if (!dirty_)
        SetModified(true);
}

ComboBox& PropertyPage::Combo(int id) const {
    return form_->Get<ComboBox>(DialogControlName(id));
}
TextBox& PropertyPage::Edit(int id) const {
    return form_->Get<TextBox>(DialogControlName(id));
}
ListBox& PropertyPage::List(int id) const {
    return form_->Get<ListBox>(DialogControlName(id));
}
CheckBox& PropertyPage::CheckButton(int id) const {
    return form_->Get<CheckBox>(DialogControlName(id));
}
CommandButton& PropertyPage::Button(int id) const {
    return form_->Get<CommandButton>(DialogControlName(id));
}

std::uint32_t PropertyPage::PageWindow() const {
    return form_ ? form_->hWnd() : 0;
}

}  // namespace ui

namespace ui {

Form* PropertyPage::PageForm() const {
    return form_.get();
}

}  // namespace ui
