// Forms as data: what a form and its controls are at design time. A form is built from its
// description when it loads, so every load starts from these values.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/surface.h"

namespace ui {

class ViewObject;

enum class Kind {
    CommandButton,
    OptionButton,
    CheckBox,
    Frame,
    TextBox,
    Label,
    VScrollBar,
    HScrollBar,
    ComboBox,  // drop-down list, or an editable combo (editable = true)
    ListBox,
    PictureBox,
    Image,
    Grid,
    Timer,
    TabStrip,
    ProgressBar,
    CommonDialog,
    Hosted,    // a control hosted through its view object (the plot)
    ListView,  // a list in report view: columns, rows with a small image (ui/list_view.h)
};

// Positions and sizes are in twips, relative to the container.
struct ControlDesign {
    Kind kind;
    std::string name;
    int index = -1;           // member of a control array when >= 0
    std::string container;    // a frame or picture box of the form; empty: the form itself
    int containerIndex = -1;  // the container's index when it is a control array member
    std::string caption;      // caption, or the text of a text box or editable combo
    std::string toolTip;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool enabled = true;
    bool visible = true;
    int interval = 0;                // timer
    bool value = false;              // option button selected, check box checked
    bool editable = false;           // combo box: an editable combo rather than a drop-down list
    bool graphical = false;          // command button in the graphical style (shows its Picture)
    bool isDefault = false;          // command button clicked by Enter on its form
    bool isCancel = false;           // command button clicked by Escape on its form
    bool locked = false;             // text box the user cannot edit
    std::vector<std::string> items;  // list entries; tab captions
    std::vector<std::string> keys;   // tab keys
    // Hosted control: its class, created when the form loads (or a factory of its own).
    std::string progId;
    std::function<std::shared_ptr<ViewObject>()> create;
};

struct MenuItemDesign {
    std::string name;
    std::string caption;  // "&" marks the access key; "-" is a separator
    bool checked = false;
    std::vector<MenuItemDesign> items;
};

struct ToolButtonDesign {
    std::string key;
    std::string toolTip;
    int image = 0;  // index into the toolbar's image list
};

struct StatusPanelDesign {
    enum class Style { Text, Date, Time } style = Style::Text;
    std::string key;
    std::string text;
};

struct FormDesign {
    std::string name;
    std::string caption;
    int left = 0;
    int top = 0;
    int width = 4800;
    int height = 3600;
    bool mdiFrame = false;  // the MDI frame: menus, toolbar, status bar, children
    bool mdiChild = false;  // shown inside the frame
    bool keyPreview = false;
    std::vector<ControlDesign> controls;
    std::vector<MenuItemDesign> menus;
    std::vector<ToolButtonDesign> toolbar;
    std::vector<Picture> toolbarImages;
    std::vector<StatusPanelDesign> statusPanels;
};

}  // namespace ui
