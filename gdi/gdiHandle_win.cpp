#include "gdi/gdiHandle.h"

#include "win32/declared.h"

void deleteGdiObject(HGDIOBJ object) {
  if (object) dll::DeleteObject(object);
}
