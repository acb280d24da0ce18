// The designed controls of each form for the Win32 window: names, kinds and
// positions in twips of the client area (15 twips a pixel at 96 DPI).
#pragma once

#include <vector>

#include "Win32View.h"

namespace win32 {

// The main window's client area, in twips.
inline constexpr int kMainWidth = 10680;
inline constexpr int kMainHeight = 9735;
std::vector<ControlSpec> MainControls();
std::vector<MenuSpec> MainMenus();

inline constexpr int kConversionWidth = 6255;
inline constexpr int kConversionHeight = 3780 + 4 * 360;
std::vector<ControlSpec> ConversionControls();

inline constexpr int kAboutWidth = 360 * 15;
inline constexpr int kAboutHeight = (59 + 66 + 26 + 14) * 15;
std::vector<ControlSpec> AboutControls();

}  // namespace win32
