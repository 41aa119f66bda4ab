#include "app/startup.h"

#include <windows.h>

#include <commctrl.h>

#include "app/events.h"
#include "app/mainWindow.h"
#include "gfx/gdiplusStartup.h"
#include "skin/core/engine.h"
#include "toolkit/messageLoop.h"
#include "toolkit/runtimeError.h"
#include "win32/declared.h"

namespace {
constexpr WORD kIconResourceId = 129;
constexpr char kIconGroupName[] = "DEFAULT_ICON";

HICON loadApplicationIcon() {
  HMODULE program = dll::GetModuleHandleA(nullptr);
  HICON icon = dll::LoadIconA(program, MAKEINTRESOURCEA(kIconResourceId));
  if (!icon) icon = dll::LoadIconA(program, kIconGroupName);
  return icon;
}
}  // namespace

void initialiseModules() {
  SkinSettings& settings = skinEngine().settings();
  startGdiplus();
  settings.applicationIcon = loadApplicationIcon();
  settings.firstSizeFlag = 1;
  settings.skinEnabled = 1;
  settings.globalTranslucency = 160;
  settings.accentColour = kAccentColour;
  settings.controlOption2 = 1;
}

void createMainWindow() {
  Form& form = mainForm();
  wireEvents(form);
  if (!form.create(mainWindowDefinition(), skinEngine().settings().applicationIcon))
    raiseRuntimeError(kNoErrorNumber, kMessageStartWindowFailed);
}

int runProgram() {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  createSkinEngine();
  initialiseModules();
  createMainWindow();
  int exitCode = runMessageLoop(mainForm().window());
  shutDown();
  return exitCode;
}

void shutDown() {
  // The engine and the records it still holds first: nothing may use GDI+ after it is shut down.
  destroySkinEngine();
  stopGdiplus();
}
