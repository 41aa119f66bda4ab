#include "skin/controls/shared/controlFontValue.h"

namespace {
constexpr char kDefaultFamily[] = "宋体";
constexpr int kDefaultSize = 12;
}  // namespace

ControlFont withPushButtonDefaults(ControlFont font) {
  if (font.family.empty()) font.family = kDefaultFamily;
  if (font.size == 0) font.size = kDefaultSize;
  return font;
}
