// The skin entry: the one call the application makes from the main window's creation event.
#include "skin/controls/controlPasses.h"
#include "skin/controls/shared/controlColours.h"
#include "skin/core/engine.h"
#include "win32/declared.h"

namespace {
enum class Registration { Container, Transparent };

// The toolkit's control kinds that the skin entry registers, told apart by window class.
struct ControlKindRule {
  const char* kindName;  // the toolkit's name of the kind
  bool (*matches)(HWND control);
  Registration registration;
};

DWORD styleOf(HWND window) {
  return static_cast<DWORD>(dll::GetWindowLongA(window, GWL_STYLE));
}

bool isGroupBox(HWND control) {
  return hasClass(control, "Button") && (styleOf(control) & BS_TYPEMASK) == BS_GROUPBOX;
}

bool isPictureStatic(HWND control) {
  DWORD type = styleOf(control) & SS_TYPEMASK;
  return type == SS_BITMAP || type == SS_ICON || type == SS_ENHMETAFILE;
}

bool isLabel(HWND control) {
  return hasClass(control, "Static") && !isPictureStatic(control);
}

bool isPictureBox(HWND control) {
  return hasClass(control, "Static") && isPictureStatic(control);
}

bool isTabControl(HWND control) {
  return hasClass(control, "SysTabControl32");
}

// In the order the skin registers them. The toolkit offers no drawing panel ("画板") or shape box
// ("外形框") kind, so their rows (4 and 6, both transparent controls) have nothing to find.
const ControlKindRule kControlKinds[] = {
    {"分组框", isGroupBox, Registration::Container},
    {"标签", isLabel, Registration::Transparent},
    {"图片框", isPictureBox, Registration::Transparent},
    {"选择夹", isTabControl, Registration::Container},
};

void registerControlsOfKind(HWND window, const ControlKindRule& kind, int translucency) {
  for (HWND child = dll::GetWindow(window, GW_CHILD); child; child = dll::GetWindow(child, GW_HWNDNEXT)) {
    if (!kind.matches(child)) continue;
    if (kind.registration == Registration::Container)
      registerContainer(child, 0, translucency);
    else
      registerTransparentControl(child, std::nullopt, 0, translucency);
  }
}
}  // namespace

void SkinEngine::skinEntry(HWND window, const ByteSet& picture, int translucency) {
  setBackgroundPicture("", picture, std::nullopt, std::nullopt, kBackgroundStretched);
  setControlOptions(true, translucency);
  SkinWindowArguments arguments;
  arguments.captionHeight = 0;
  arguments.captionInteractive = 1;
  arguments.resizable = 0;
  skinWindow(window, arguments);
  for (const ControlKindRule& kind : kControlKinds) registerControlsOfKind(window, kind, translucency);
}
