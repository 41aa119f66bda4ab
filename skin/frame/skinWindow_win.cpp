// Skin a window: the record, the caption buttons, the controls' registration and the subclass.
#include "skin/controls/controlPasses.h"
#include "skin/controls/shared/controlRecords.h"
#include "skin/core/engine.h"
#include "skin/core/properties.h"
#include "skin/core/subclass.h"
#include "skin/frame/background.h"
#include "skin/frame/captionButtons.h"

namespace {
constexpr int kBorderInset = 3;
constexpr int kSmallestCaptionHeight = 25;
constexpr POINT kMinimumTrackSize{200, 150};
constexpr COLORREF kTitleColour = 0xFFFFFF;
constexpr COLORREF kTitleOutlineColour = 0x808080;
constexpr char kTitleFont[] = "宋体";
constexpr int kTitleFontSize = 12;
constexpr int kTitleFontStyle = 1;  // bold
constexpr COLORREF kBottomBarTextColour = 0xFFFFFF;

std::unique_ptr<WindowRecord> newRecord(HWND window, DWORD style, const SkinWindowArguments& arguments,
                                        int engineBackgroundMode) {
  auto record = std::make_unique<WindowRecord>();
  record->window = window;
  record->controls = newControlLists();
  record->captionHeight = std::max(arguments.captionHeight, kSmallestCaptionHeight);
  record->helpButtonWanted = arguments.helpButton;
  record->mainMenuButtonWanted = arguments.mainMenuButton;
  record->minimiseBox = (style & WS_MINIMIZEBOX) ? 1 : 0;
  record->maximiseBox = (style & WS_MAXIMIZEBOX) ? 1 : 0;
  record->closeButton = 1;
  record->titleDrawn = arguments.titleDrawn;
  record->captionOption = arguments.captionOption;
  record->windowBackgroundMode = arguments.windowBackgroundMode.value_or(engineBackgroundMode);
  record->minimumTrackSize = kMinimumTrackSize;
  record->maximumTrackSize = POINT{dll::GetSystemMetrics(SM_CXSCREEN), dll::GetSystemMetrics(SM_CYSCREEN)};
  record->resizable = arguments.resizable;
  record->captionInteractive = arguments.captionInteractive;
  record->titleColour = kTitleColour;
  record->secondTitleColour = kTitleOutlineColour;
  record->titleFont = kTitleFont;
  record->titleFontSize = kTitleFontSize;
  record->titleFontStyle = kTitleFontStyle;
  record->bottomBarHeight = arguments.bottomBarHeight;
  record->bottomBarItems = arguments.bottomBarItems;
  record->bottomBarTextColour = kBottomBarTextColour;
  record->bottomBarFont = kTitleFont;
  record->bottomBarFontSize = kTitleFontSize;
  return record;
}

// The bottom bar spans the client width at the bottom edge.
void layOutBottomBar(WindowRecord& record) {
  if (record.bottomBarHeight <= 0) return;
  RECT client;
  dll::GetClientRect(record.window, &client);
  record.bottomBarRect = RECT{0, client.bottom - record.bottomBarHeight, client.right, client.bottom};
}
}  // namespace

void SkinEngine::skinWindow(HWND window, const SkinWindowArguments& arguments) {
  if (!window || findWindowRecord(window)) return;
  auto style = static_cast<DWORD>(dll::GetWindowLongA(window, GWL_STYLE));
  RECT client;
  dll::GetClientRect(window, &client);
  borderInset_ = kBorderInset;

  std::unique_ptr<WindowRecord> record = newRecord(window, style, arguments, settings_.backgroundMode);
  if (!arguments.windowPicture.empty()) {
    record->windowBaseColour = baseColourOfPicture(arguments.windowPicture);
    record->windowPicture =
        preparePicture(arguments.windowPicture, record->windowBackgroundMode, record->windowBaseColour);
  }
  buildCaptionButtons(*record, client.right, borderInset_);
  dll::SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(style | WS_SYSMENU));

  WindowRecord& added = *record;
  windowRecords_.append(std::move(record));
  int index = windowRecords_.count();

  createCaptionToolTips(added);
  layoutCaptionButtons(added);
  layOutBottomBar(added);
  // A pass may register containers, which reach this record by its index; the reference stays
  // valid because records are held by pointer.
  runRegistrationPasses(index, window);
  added.skinned = 1;
  added.fullRepaintNeeded = 1;

  added.savedProcedure = subclassWindow(window, messageHandlerStub);
  setPropertyTo(window, prop::kSavedProcedure, added.savedProcedure);
  setPropertyTo(window, prop::kListIndex, index);
}
