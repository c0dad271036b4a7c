// The instrument panels the main window opens, by their toolbar keys. A panel that is built
// registers how to show its program-wide instance; a key without a panel opens nothing.
#pragma once

#include <functional>
#include <string>

namespace larkspur {

// Toolbar keys, in toolbar order.
inline constexpr const char* kPanelKeys[] = {"SAin",    "Scope", "Chart", "FFT",   "Din",
                                             "Measure", "SAout", "Dout",  "Pulse", "Wave"};

using PanelOpener = std::function<void()>;
void RegisterPanel(const std::string& key, PanelOpener opener);
// Shows the panel (made on first use, only brought forward when open); false for an unknown key.
bool OpenPanel(const std::string& key);
// Registers every panel this program has.
void RegisterPanels();

}  // namespace larkspur
