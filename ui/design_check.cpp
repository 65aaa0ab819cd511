// The consistency check the frame runs over the designs it is handed at start-up.
#include "ui/design_check.h"

#include <cstddef>
#include <variant>

namespace quillet {

bool DesignsHoldTogether(std::span<const WindowDesign> designs) {
  for (std::size_t w = 0; w < designs.size(); ++w) {
    const WindowDesign& design = designs[w];
    if (design.units.empty()) return false;
    for (std::size_t other = 0; other < w; ++other) {
      if (designs[other].id == design.id) return false;
    }
    for (std::size_t u = 0; u < design.units.size(); ++u) {
      const UnitDesign& unit = design.units[u];
      const bool isWindow = std::holds_alternative<WindowProperties>(unit.properties);
      if (isWindow != (u == 0)) return false;
      for (std::size_t other = 0; other < u; ++other) {
        if (design.units[other].id == unit.id) return false;
      }
    }
  }
  return true;
}

}  // namespace quillet
