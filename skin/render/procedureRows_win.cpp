#include "skin/render/procedureRows.h"

#include "gfx/declared.h"

LRESULT eraseTransparently(WPARAM wParam) {
  dll::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
  return 1;
}
