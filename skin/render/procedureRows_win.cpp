#include "skin/render/procedureRows.h"

#include "win32/declared.h"

LRESULT eraseTransparently(WPARAM wParam) {
  dll::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
  return 1;
}
