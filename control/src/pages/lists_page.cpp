// The Lists page: the channel-gain list with its inhibit flags, the per-channel filter list and
// the synchronous digital-output list. Only the list size is a property of the page's exchange;
// each entry is written at once through the control's list accessors by its group's Set button
// and read back, so that the list box shows what the control accepted.
#include <cstdio>
#include <string>

#include "pages/page_class.h"
#include "pages/page_pattern.h"

namespace mqacq32::pages {
namespace {

// Channel-gain group.
constexpr int kListSizeEdit = 221;
constexpr int kGainEntryEdit = 222;
constexpr int kInhibitCheck = 225;
constexpr int kGainSetButton = 226;
constexpr int kGainListBox = 234;
constexpr int kChannelCombo = 235;
constexpr int kGainCombo = 236;
// Filter group.
constexpr int kFilterSetButton = 230;
constexpr int kFilterEntryEdit = 232;
constexpr int kFilterListBox = 233;
constexpr int kFilterCombo = 237;
// DIO group.
constexpr int kDioValueEdit = 228;
constexpr int kDioSetButton = 238;
constexpr int kDioListBox = 239;
constexpr int kDioEntryEdit = 240;

constexpr int kLineLength = 128;
constexpr const char* kValueFormat = "%3.4lf";
constexpr double kNoGain = 1.0;

ui::ControlDesign Group(const char* name, const char* caption, int x, int y, int width,
                        int height) {
    return ui::DialogItem(ui::Kind::Frame, name, caption, x, y, width, height);
}

ui::ControlDesign Editable(int id, int x, int y, int width, int height) {
    ui::ControlDesign combo = ui::PageItem(ui::Kind::ComboBox, id, "", x, y, width, height);
    combo.editable = true;
    return combo;
}

ui::PageTemplate ListsTemplate() {
    using ui::Kind;
    using ui::PageItem;
    auto label = [](const char* name, const char* caption, int x, int y, int width) {
        return ui::DialogItem(Kind::Label, name, caption, x, y, width, 8);
    };
    return {kPageWidth,
            kPageHeight,
            {Group("fraGain", "Channel Gain List", 2, 2, 104, 106),
             Group("fraFilter", "Filter List", 108, 2, 69, 106),
             Group("fraDio", "DIO List", 179, 2, 69, 106),
             label("lblListSize", "ListSize:  ", 6, 13, 36),
             PageItem(Kind::TextBox, kListSizeEdit, "", 44, 11, 30, 11),
             label("lblGainEntry", "entry #: ", 6, 25, 36),
             PageItem(Kind::TextBox, kGainEntryEdit, "", 44, 23, 30, 11),
             label("lblChannel", "Ch:  ", 6, 37, 36),
             Editable(kChannelCombo, 44, 35, 58, 60),
             label("lblGain", "Gain:  ", 6, 49, 36),
             Editable(kGainCombo, 44, 47, 58, 60),
             PageItem(Kind::CheckBox, kInhibitCheck, "Inhibit", 6, 61, 40, 10),
             PageItem(Kind::CommandButton, kGainSetButton, "Set ", 62, 60, 40, 12),
             PageItem(Kind::ListBox, kGainListBox, "", 6, 74, 96, 31),
             label("lblFilterEntry", "entry #:", 112, 13, 30),
             PageItem(Kind::TextBox, kFilterEntryEdit, "", 142, 11, 31, 11),
             label("lblFilter", "Filter:", 112, 25, 30),
             Editable(kFilterCombo, 142, 23, 31, 60),
             PageItem(Kind::CommandButton, kFilterSetButton, "Set ", 142, 36, 31, 12),
             PageItem(Kind::ListBox, kFilterListBox, "", 112, 51, 61, 54),
             label("lblDioEntry", "entry #:", 183, 13, 30),
             PageItem(Kind::TextBox, kDioEntryEdit, "", 214, 11, 30, 11),
             label("lblDioValue", "DIO Value:", 183, 25, 30),
             PageItem(Kind::TextBox, kDioValueEdit, "", 214, 23, 30, 11),
             PageItem(Kind::CommandButton, kDioSetButton, "Set ", 214, 36, 30, 12),
             PageItem(Kind::ListBox, kDioListBox, "", 183, 51, 61, 54)}};
}

std::string Formatted(const char* format, double value) {
    char text[kLineLength];
    std::snprintf(text, sizeof(text), format, value);
    return text;
}

std::string GainLine(int entry, long channel, double gain, bool inhibit) {
    char line[kLineLength];
    std::snprintf(line, sizeof(line), "%5d:ch %5ld,gain %3.4lf, %s", entry, channel, gain,
                  inhibit ? "Inhibit" : "No Inhibit");
    return line;
}

std::string FilterLine(int channel, double filter) {
    char line[kLineLength];
    std::snprintf(line, sizeof(line), "%5d: %3.4lf", channel, filter);
    return line;
}

std::string DioLine(int entry, long value) {
    char line[kLineLength];
    std::snprintf(line, sizeof(line), "%5d: %5ld", entry, value);
    return line;
}

// Puts `line` in place of the list box's line `index` and selects it; a line the box does not
// have yet is left alone.
void ReplaceLine(ui::ListBox& list, int index, const std::string& line) {
    if (index < 0 || index >= list.ListCount())
        return;
    list.RemoveItem(index);
    list.InsertItem(index, line);
    list.SetListIndex(index);
}

class ListsPage final : public AcqPage {
  public:
    ListsPage() : AcqPage(kListsPage, ListsTemplate()) {}

  protected:
    void BindControls() override {
        for (int id : {kGainEntryEdit, kChannelCombo, kGainCombo, kInhibitCheck, kFilterEntryEdit,
                       kFilterCombo, kDioEntryEdit, kDioValueEdit})
            NotDirtying(id);
        Button(kGainSetButton).onClick = [this] { WriteGainEntry(); };
        Button(kFilterSetButton).onClick = [this] { WriteFilterEntry(); };
        Button(kDioSetButton).onClick = [this] { WriteDioEntry(); };
        ui::ListBox& gains = List(kGainListBox);
        gains.onClick = [this] { SelectGainLine(false); };
        gains.onDblClick = [this] { SelectGainLine(true); };
        ui::ListBox& filters = List(kFilterListBox);
        filters.onClick = [this] { SelectFilterLine(false); };
        filters.onDblClick = [this] { SelectFilterLine(true); };
        ui::ListBox& dio = List(kDioListBox);
        dio.onClick = [this] { SelectDioLine(false); };
        dio.onDblClick = [this] { SelectDioLine(true); };
    }

    void DoDataExchange(ui::DataExchange& dx) override {
        UINT listCapability = 0;
        if (QueryCapability(HXSSC_LISTSIZE, &listCapability) == HXNOERROR && listCapability > 0) {
            dx.Property("ListSize", listSize_, kListSizeEdit);
            dx.Text(kListSizeEdit, listSize_);
        }
        ExchangeEditors(dx);
        if (dx.Saving() || Control() == nullptr)
            return;
        const AcqControl& control = *Control();
        if (ControlAccess::Board(control) != board_ ||
            ControlAccess::CurrentIndex(control) != subsystem_) {
            SetUpEditors();
            board_ = ControlAccess::Board(control);
            subsystem_ = ControlAccess::CurrentIndex(control);
        }
    }

    void OnApplied() override {
        FillGainList();
        FillDioList();
    }

  private:
    void ExchangeEditors(ui::DataExchange& dx) {
        dx.Text(kGainEntryEdit, gainEntry_);
        dx.Text(kChannelCombo, channel_);
        dx.Text(kGainCombo, gain_, kValueFormat);
        dx.Text(kFilterEntryEdit, filterEntry_);
        dx.Text(kFilterCombo, filter_, kValueFormat);
        dx.Text(kDioEntryEdit, dioEntry_);
        dx.Text(kDioValueEdit, dioValue_);
    }

    void SetUpEditors() {
        SetUpGainEditor();
        SetUpFilterEditor();
        SetUpDioEditor();
    }

    void SetUpGainEditor() {
        const HDASS subsystem = Subsystem();
        const bool list = Capability(HXSSC_LISTSIZE) > 0;
        gainsAvailable_ = Capability(HXSSC_GAINLIST) != 0;
        inhibitsAvailable_ = Capability(HXSSC_INHIBITLIST) != 0;
        for (int id : {kListSizeEdit, kGainEntryEdit, kChannelCombo, kGainSetButton, kGainListBox})
            PageForm()->Find(ui::DialogControlName(id)).SetEnabled(list);
        Combo(kGainCombo).SetEnabled(gainsAvailable_);
        CheckButton(kInhibitCheck).SetEnabled(inhibitsAvailable_ && list);
        ui::ComboBox& channels = Combo(kChannelCombo);
        ui::ComboBox& gains = Combo(kGainCombo);
        if (list) {
            channels.Clear();
            const UINT count = Capability(HXSSC_NUMCHANNELS);
            for (UINT n = 0; n < count; ++n)
                channels.AddItem(std::to_string(n));
            gains.Clear();
            if (gainsAvailable_)
                for (double gain : ControlAccess::Tables(*Control()).gains)
                    gains.AddItem(Formatted(kValueFormat, gain));
        }
        UINT size = 0;
        hxDaGetChannelListSize(subsystem, &size);
        listSize_ = size;
        Edit(kListSizeEdit).SetText(std::to_string(size));
        gainEntry_ = 0;
        Edit(kGainEntryEdit).SetText("0");
        UINT channel = 0;
        hxDaGetChannelListEntry(subsystem, 0, &channel);
        channel_ = static_cast<std::int16_t>(channel);
        channels.SetListIndex(ui::FindStringExact(channels, std::to_string(channel)));
        channels.SetText(std::to_string(channel));
        gain_ = kNoGain;
        if (gainsAvailable_)
            hxDaGetGainListEntry(subsystem, 0, &gain_);
        gains.SetListIndex(ui::FindStringExact(gains, Formatted(kValueFormat, gain_)));
        gains.SetText(Formatted(kValueFormat, gain_));
        UINT inhibit = 0;
        if (inhibitsAvailable_)
            hxDaGetChannelListEntryInhibit(subsystem, 0, &inhibit);
        CheckButton(kInhibitCheck).SetValue(inhibitsAvailable_ && inhibit != 0);
        FillGainList();
    }

    void SetUpFilterEditor() {
        filtersEditable_ = Capability(HXSSC_NUMFILTERS) > 1;
        for (int id : {kFilterCombo, kFilterEntryEdit, kFilterSetButton, kFilterListBox})
            PageForm()->Find(ui::DialogControlName(id)).SetEnabled(filtersEditable_);
        ui::ComboBox& filters = Combo(kFilterCombo);
        if (filtersEditable_) {
            filters.Clear();
            for (double filter : ControlAccess::Tables(*Control()).filters)
                filters.AddItem(Formatted(kValueFormat, filter));
            double current = 0.0;
            hxDaGetChannelFilter(Subsystem(), static_cast<UINT>(filterEntry_), &current);
            filter_ = current;
            filters.SetListIndex(ui::FindStringExact(filters, Formatted(kValueFormat, current)));
            filters.SetText(Formatted(kValueFormat, current));
        }
        ui::ListBox& list = List(kFilterListBox);
        list.Clear();
        if (!filtersEditable_)
            return;
        const UINT channels = Capability(HXSSC_NUMCHANNELS);
        for (UINT channel = 0; channel < channels; ++channel) {
            double filter = 0.0;
            if (!Read([&] { filter = Control()->GetFilterList(static_cast<SHORT>(channel)); }))
                return;
            list.AddItem(FilterLine(static_cast<int>(channel), filter));
        }
    }

    void SetUpDioEditor() {
        dioAvailable_ = Capability(HXSSC_SYNCDIO) > 0;
        for (int id : {kDioEntryEdit, kDioValueEdit, kDioSetButton, kDioListBox})
            PageForm()->Find(ui::DialogControlName(id)).SetEnabled(dioAvailable_);
        if (dioAvailable_) {
            UINT value = 0;
            hxDaGetDigitalIOListEntry(Subsystem(), static_cast<UINT>(dioEntry_), &value);
            dioValue_ = value;
            Edit(kDioValueEdit).SetText(std::to_string(value));
        }
        FillDioList();
    }

    // Runs a read or write through the control; its error is shown and false answered.
    bool Read(const std::function<void()>& access) {
        try {
            access();
            return true;
        } catch (const com::server::Error& error) {
            ShowError(error.description);
            return false;
        }
    }

    void FillGainList() {
        if (Capability(HXSSC_LISTSIZE) == 0)
            return;
        ui::ListBox& list = List(kGainListBox);
        list.Clear();
        AcqControl& control = *Control();
        for (std::uint32_t entry = 0; entry < listSize_; ++entry) {
            const auto index = static_cast<SHORT>(entry);
            std::string line;
            if (!Read([&] { line = GainLineOf(control, index); }))
                return;
            list.AddItem(line);
        }
    }

    std::string GainLineOf(AcqControl& control, SHORT entry) {
        const SHORT channel = control.GetChannelList(entry);
        const double gain = gainsAvailable_ ? control.GetGainList(entry) : kNoGain;
        const bool inhibit = inhibitsAvailable_ && control.GetInhibitList(entry);
        return GainLine(entry, channel, gain, inhibit);
    }

    void FillDioList() {
        ui::ListBox& list = List(kDioListBox);
        list.Clear();
        if (!dioAvailable_)
            return;
        AcqControl& control = *Control();
        for (std::uint32_t entry = 0; entry < listSize_; ++entry) {
            LONG value = 0;
            if (!Read([&] { value = control.GetDioList(static_cast<SHORT>(entry)); }))
                return;
            list.AddItem(DioLine(static_cast<int>(entry), value));
        }
    }

    bool TakeEditors() {
        return TakeFields([this](ui::DataExchange& dx) { ExchangeEditors(dx); });
    }

    void WriteGainEntry() {
        if (Control() == nullptr || !TakeEditors())
            return;
        AcqControl& control = *Control();
        const bool inhibit = CheckButton(kInhibitCheck).Value();
        std::string line;
        const bool written = Read([&] {
            control.PutChannelList(gainEntry_, channel_);
            if (gainsAvailable_)
                control.PutGainList(gainEntry_, gain_);
            if (inhibitsAvailable_)
                control.PutInhibitList(gainEntry_, inhibit);
            if (gainEntry_ >= 0 && static_cast<std::uint32_t>(gainEntry_) < listSize_)
                line = GainLineOf(control, gainEntry_);
        });
        if (written && !line.empty())
            ReplaceLine(List(kGainListBox), gainEntry_, line);
    }

    void WriteFilterEntry() {
        if (Control() == nullptr || !filtersEditable_ || !TakeEditors())
            return;
        AcqControl& control = *Control();
        const bool written = Read([&] {
            control.PutFilterList(filterEntry_, filter_);
            control.GetFilterList(filterEntry_);
        });
        if (written)
            ReplaceLine(List(kFilterListBox), filterEntry_, FilterLine(filterEntry_, filter_));
    }

    void WriteDioEntry() {
        if (Control() == nullptr || !dioAvailable_ || !TakeEditors())
            return;
        AcqControl& control = *Control();
        LONG value = 0;
        const bool written = Read([&] {
            control.PutDioList(dioEntry_, static_cast<LONG>(dioValue_));
            value = control.GetDioList(dioEntry_);
        });
        if (written && dioEntry_ >= 0 && static_cast<std::uint32_t>(dioEntry_) < listSize_)
            ReplaceLine(List(kDioListBox), dioEntry_, DioLine(dioEntry_, value));
    }

    void SelectGainLine(bool load) {
        const int line = List(kGainListBox).ListIndex();
        if (line < 0)
            return;
        gainEntry_ = static_cast<std::int16_t>(line);
        Edit(kGainEntryEdit).SetText(std::to_string(line));
        if (!load || Control() == nullptr)
            return;
        AcqControl& control = *Control();
        bool inhibit = false;
        Read([&] {
            channel_ = control.GetChannelList(gainEntry_);
            gain_ = gainsAvailable_ ? control.GetGainList(gainEntry_) : kNoGain;
            inhibit = inhibitsAvailable_ && control.GetInhibitList(gainEntry_);
        });
        Combo(kChannelCombo).SetText(std::to_string(channel_));
        Combo(kGainCombo).SetText(Formatted(kValueFormat, gain_));
        CheckButton(kInhibitCheck).SetValue(inhibit);
    }

    void SelectFilterLine(bool load) {
        const int line = List(kFilterListBox).ListIndex();
        if (line < 0)
            return;
        filterEntry_ = static_cast<std::int16_t>(line);
        Edit(kFilterEntryEdit).SetText(std::to_string(line));
        if (!load || !filtersEditable_ || Control() == nullptr)
            return;
        Read([&] { filter_ = Control()->GetFilterList(filterEntry_); });
        Combo(kFilterCombo).SetText(Formatted(kValueFormat, filter_));
    }

    void SelectDioLine(bool load) {
        const int line = List(kDioListBox).ListIndex();
        if (line < 0)
            return;
        dioEntry_ = static_cast<std::int16_t>(line);
        Edit(kDioEntryEdit).SetText(std::to_string(line));
        if (!load || !dioAvailable_ || Control() == nullptr)
            return;
        Read([&] { dioValue_ = static_cast<std::uint32_t>(Control()->GetDioList(dioEntry_)); });
        Edit(kDioValueEdit).SetText(std::to_string(dioValue_));
    }

    std::uint32_t listSize_ = 0;
    std::int16_t gainEntry_ = 0;
    std::int16_t channel_ = 0;
    double gain_ = kNoGain;
    std::int16_t filterEntry_ = 0;
    double filter_ = 0.0;
    std::int16_t dioEntry_ = 0;
    std::uint32_t dioValue_ = 0;
    bool gainsAvailable_ = false;
    bool inhibitsAvailable_ = false;
    bool filtersEditable_ = false;
    bool dioAvailable_ = false;
    std::string board_;
    SHORT subsystem_ = 0;
};

[[maybe_unused]] const bool kAdded = AddPage<ListsPage>(kListsPage);

}  // namespace
}  // namespace mqacq32::pages
