// The library's UI colour table: 62 colour roles that the user-interface
// routines paint with. An entry holds a colour the host has chosen (COLORREF,
// 0x00BBGGRR) or ZO_UI_COLOR_DEFAULT, the built-in default, under which a
// routine paints with the system's colour for that role. ZoKernel_Startup
// resets every entry to the default. Written on the main thread only.
#pragma once
#include <cstdint>

inline constexpr int ZO_UI_COLOR_COUNT = 62;
inline constexpr uint32_t ZO_UI_COLOR_DEFAULT = 0xFFFFFFFFu;

void ZoUIColor_ResetDefaults();
// ZO_UI_COLOR_DEFAULT for an index outside 0 .. ZO_UI_COLOR_COUNT - 1.
uint32_t ZoUIColor_Get(int index);
// False (nothing changed) for an index outside the table.
bool ZoUIColor_Set(int index, uint32_t color);
