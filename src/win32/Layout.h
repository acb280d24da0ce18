// The designed controls of each form for the Win32 window: names, kinds and
// positions in twips of the client area (15 twips a pixel at 96 DPI).
#pragma once

#include <vector>

#include "Win32View.h"
#include "forms/FrmConversion.h"

namespace win32 {

// The main window's client area, in twips.
inline constexpr int kMainWidth = 10680;
inline constexpr int kMainHeight = 9735;
std::vector<ControlSpec> MainControls();
std::vector<MenuSpec> MainMenus();

// The dialog grows by one step for every option after the designed three.
inline constexpr int kConversionStep = 360;
inline constexpr int kConversionAdded =
    static_cast<int>(forms::kConversionOptions.size() - 3) * kConversionStep;
inline constexpr int kConversionWidth = 6255;
inline constexpr int kConversionHeight = 3780 + kConversionAdded;
std::vector<ControlSpec> ConversionControls();

// The contacts server's address, user name and password, asked before an
// upload.
inline constexpr int kServerWidth = 5240;
inline constexpr int kServerHeight = 3045;
std::vector<ControlSpec> ServerControls();

inline constexpr int kAboutWidth = 360 * 15;
inline constexpr int kAboutHeight = (59 + 66 + 26 + 14) * 15;
std::vector<ControlSpec> AboutControls();

}  // namespace win32
