// Between the frame's window and the pages shown in it. Private to the forms runtime.
#pragma once

#include "com/base.h"

class QWidget;

namespace ui {

class Form;

// The frame window whose page area is `parent` takes the page's window: answers the widget the
// page's window goes into, or null when `parent` names no frame window.
QWidget* AdoptPage(HWND parent, Form& page);
// The page's window goes away.
void ReleasePage(HWND parent, Form& page);

}  // namespace ui
