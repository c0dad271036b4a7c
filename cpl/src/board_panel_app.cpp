// The module's application object: made when the module is loaded, gone when it is unloaded, with
// the one applet the module serves.
#include "board_panel_applet.h"

namespace mqhxcpl {
namespace {

class CBoardPanelApp {
  public:
    CBoardPanelApp() = default;

  private:
    CBoardPanelApplet applet_;
};

CBoardPanelApp g_application;

}  // namespace
}  // namespace mqhxcpl
