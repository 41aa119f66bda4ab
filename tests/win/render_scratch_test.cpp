#include "renderTesting.h"
#include "skin/render/combo.h"
TEST_F(MainWindowTest, Scratch) {
  TestWindow window(WS_POPUP, 300, 250);
  HWND a = addControl(window.get(), "COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL, 4, 4, 120, 100);
  HWND b = addControl(window.get(), "COMBOBOX", "", CBS_DROPDOWN | WS_VSCROLL, 4, 40, 120, 100);
  HWND c = addControl(window.get(), "COMBOBOX", "", CBS_SIMPLE, 140, 4, 120, 150);
  placeTopLeft(window.get());
  window.skin();
  for (HWND combo : {a, b, c, control("组合框1")}) {
    SIZE s = windowSize(combo);
    printf("combo %ld x %ld\n", s.cx, s.cy);
    for (HWND child = FindWindowExA(combo, nullptr, nullptr, nullptr); child;
         child = FindWindowExA(combo, child, nullptr, nullptr)) {
      char name[64];
      GetClassNameA(child, name, 64);
      RECT r = childRectangle(child);
      printf("  %s %ld %ld %ld %ld\n", name, r.left, r.top, r.right, r.bottom);
    }
  }
  SendMessageA(a, CB_ADDSTRING, 0, (LPARAM) "x1");
  SendMessageA(a, CB_SETCURSEL, 0, 0);
  char t[64] = {};
  GetWindowTextA(a, t, 64);
  printf("text of list: [%s]\n", t);
}
