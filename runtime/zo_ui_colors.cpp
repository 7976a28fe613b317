// The UI colour table.
#include "runtime/zo_ui_colors.h"

#include <array>
#include <cstddef>

namespace {

using ColorTable = std::array<uint32_t, ZO_UI_COLOR_COUNT>;

constexpr ColorTable DefaultTable() {
  ColorTable table{};
  for (uint32_t& c : table) c = ZO_UI_COLOR_DEFAULT;
  return table;
}
// Constant-initialised, so the defaults hold before any start-up code runs.
constinit ColorTable gColors = DefaultTable();

}  // namespace

void ZoUIColor_ResetDefaults() { gColors = DefaultTable(); }

uint32_t ZoUIColor_Get(int index) {
  return index >= 0 && index < ZO_UI_COLOR_COUNT ? gColors[static_cast<std::size_t>(index)] : ZO_UI_COLOR_DEFAULT;
}

bool ZoUIColor_Set(int index, uint32_t color) {
  if (index < 0 || index >= ZO_UI_COLOR_COUNT) return false;
  gColors[static_cast<std::size_t>(index)] = color;
  return true;
}
