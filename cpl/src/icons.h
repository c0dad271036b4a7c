// The applet's icons: 4004 the applet's own, 4007 an ordinary board, 4009 a board whose serial
// number is above 10.
#pragma once

#include "ui/surface.h"

namespace mqhxcpl {

inline constexpr int kIconApplet = 4004;
inline constexpr int kIconBoard = 4007;
inline constexpr int kIconNumberedBoard = 4009;

inline constexpr int kAppletIconSize = 32;
inline constexpr int kBoardIconSize = 24;

// The icon's picture at its size; empty for an id the module does not have.
ui::Picture IconImage(int id);

}  // namespace mqhxcpl
