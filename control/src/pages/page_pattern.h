// What every property page of the control shares: its base class (the class framework's page
// with the module's reference count, its caption, help and dialog template), access to the
// control instance behind it, the availability test of an option, and the combo fill routine.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "acq_control.h"
#include "browsed_properties.h"
#include "com/server/object.h"
#include "hxdaapi32.h"
#include "pages/page_ids.h"
#include "settings_table.h"
#include "ui/dialog_units.h"
#include "ui/property_page.h"

namespace mqacq32::pages {

// Every page's template is this size, in dialog units.
inline constexpr int kPageWidth = 250;
inline constexpr int kPageHeight = 110;

// What the pages read of the control instance directly (not through its properties).
class ControlAccess {
  public:
    static HDEV Device(const AcqControl& c) { return c.hDev_; }
    static HDASS Subsystem(const AcqControl& c) { return c.hDass_; }
    static const std::string& Board(const AcqControl& c) { return c.board_; }
    static SHORT CurrentIndex(const AcqControl& c) { return c.currentIndex_; }
    static const std::vector<SubsystemEntry>& Subsystems(const AcqControl& c) {
        return c.subsystems_;
    }
    static const CapabilityTables& Tables(const AcqControl& c) { return c.tables_; }
    static const CachedSettings& Settings(const AcqControl& c) { return c.settings_; }
};

// The option text `text` in *out; answers whether the subsystem has it: capability
// browsing::kAlwaysAvailable always, else hxDaGetSSCaps succeeding with a nonzero value. An
// option it lacks gets " --N/A--" appended.
bool AddCapabilityString(HDASS subsystem, UINT capability, UINT text, std::string* out);
// The same for a bit of HXSSC_CTMODE_EDGETOEDGE: available when the query succeeds and
// value & mask is nonzero.
bool AddEdgeCapabilityString(HDASS subsystem, UINT mask, UINT text, std::string* out);

// A page of the control. Derived pages give their identity and template, list their exchange
// in DoDataExchange and fill their combos there when loading.
class AcqPage : public ui::PropertyPage {
  public:
    AcqPage(const PageIdentity& identity, ui::PageTemplate dialog);

    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.Add(); }
    ULONG STDMETHODCALLTYPE Release() override;

  protected:
    // The control instance behind the page (its first object); null when it is not one.
    AcqControl* Control() const;
    // The control's open subsystem, 0 when none (or no control).
    HDASS Subsystem() const;
    // The capability's value; 0 when the query fails.
    UINT Capability(UINT capability) const;
    // The query itself: its status, the value in *value.
    HXSTATUS QueryCapability(UINT capability, UINT* value) const;
    const CachedSettings* Settings() const;

    // The combo fill routine: empties the combo; without a subsystem disables it and stops;
    // adds the options (unavailable ones marked); when the setting's getter fails disables and
    // empties it; else selects the entry at the index of the setting's cached value and
    // enables it when any option was available (else disables and empties it). Answers the
    // number of available options.
    int FillOptionCombo(ui::ComboBox& combo, std::span<const browsing::Option> options,
                        const ShortSetting& setting) const;
    // Adds one "%ld - Extra ..." entry per extra trigger or clock of the subsystem (all
    // available); answers how many.
    int AddExtraItems(ui::ComboBox& combo, browsing::Extras extras) const;

  private:
    com::server::RefCount refs_;
};

// The position of the option standing for control value `value`; -1 when none does.
int OptionIndex(std::span<const browsing::Option> options, SHORT value);

}  // namespace mqacq32::pages
