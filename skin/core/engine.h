#pragma once
// The skin engine: one object for the whole run, created at start-up before the main window
// exists and destroyed by the shut-down routine. It subclasses the skinned window, keeps a
// window record for it, paints its frame and hands its controls to the renderers.
#include <windows.h>

#include <optional>

#include "skin/core/settings.h"
#include "skin/core/windowRecord.h"
#include "toolkit/valueModel.h"

// One back buffer in use by a renderer (see skin/core/backBuffers.h).
struct BackBufferEntry {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;  // selected back before the device context is deleted
};
using BackBufferTable = Array<BackBufferEntry>;

// The arguments of skin a window; the defaults are those of an omitted optional argument.
struct SkinWindowArguments {
  int captionHeight = 0;  // below 25 becomes 25
  int captionInteractive = 1;
  int resizable = 1;
  int helpButton = 0;
  int mainMenuButton = 0;
  int titleDrawn = 1;
  int captionOption = 0;
  int bottomBarHeight = 0;
  Array<Text> bottomBarItems;
  ByteSet windowPicture;
  std::optional<int> windowBackgroundMode;  // else the engine's background mode
};

// The accent colour argument value that makes the accent follow the base colour.
inline constexpr LONG kAccentFollowsBase = -1;

class SkinEngine final {
 public:
  SkinEngine();
  SkinEngine(const SkinEngine&) = delete;
  SkinEngine& operator=(const SkinEngine&) = delete;
  // Frees every remaining window record with its buffers, and the tables.
  ~SkinEngine();

  // The message handler of every skinned top-level window (installed through the stub below).
  LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // What a caption button does (close, maximise/restore, minimise, callbacks).
  void runCaptionAction(int recordIndex, int button);
  // Gives a top-level window the skin: record, caption buttons, registration passes, subclass.
  // Does nothing for a window that already has a record.
  void skinWindow(HWND window, const SkinWindowArguments& arguments);

  // The single call the application makes from the main window's creation event: the background
  // picture (mode 3), the control options with the level, the window, and its controls by kind.
  void skinEntry(HWND window, const ByteSet& picture, int translucency);
  // Skin-enabled flag; translucency (else 160) and whether one was given; option 2 (else 1).
  void setControlOptions(bool skinEnabled, std::optional<int> translucency = {}, std::optional<int> option2 = {});
  // Installs a background picture for all windows (the file name when not empty, else the bytes)
  // and repaints every visible skinned window. accentColour kAccentFollowsBase: the accent
  // follows the base colour.
  void setBackgroundPicture(const Text& fileName, const ByteSet& picture, std::optional<COLORREF> baseColour = {},
                            std::optional<LONG> accentColour = {}, std::optional<int> mode = {});

  SkinSettings& settings() { return settings_; }
  WindowRecordTable& windowRecords() { return windowRecords_; }
  BackBufferTable& backBuffers() { return backBuffers_; }
  // The record at a 1-based index; null when there is none (a renderer given a stale index).
  WindowRecord* recordAt(int index);

  // The thickness of the resize edges and the strip's distance from the right edge (3 once a
  // window is skinned).
  int borderInset() const { return borderInset_; }
  // The 1-based caption button under the mouse at the last hit test, 0 for none.
  int currentCaptionHit() const { return currentCaptionHit_; }
  void setCurrentCaptionHit(int button) { currentCaptionHit_ = button; }

  // The bound stubs: a window procedure and a caption action that reach the single engine. They
  // live beside the message handler (skin/frame/), which they call.
  static LRESULT CALLBACK messageHandlerStub(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static void captionActionStub(int recordIndex, int button);

 private:
  SkinSettings settings_;
  WindowRecordTable windowRecords_;
  BackBufferTable backBuffers_;
  int borderInset_ = 0;
  int currentCaptionHit_ = 0;
};

void createSkinEngine();
void destroySkinEngine();
// The single engine object; only valid between createSkinEngine and destroySkinEngine.
SkinEngine& skinEngine();
// Whether the engine object exists (procedures that may outlive it check first).
bool skinEngineExists();

// The 1-based index of the window's record, 0 when it has none (a linear search by window).
int findWindowRecord(HWND window);
// The index of the first ancestor of the control (walking up with GetParent) that has a window
// record; 0 when the walk ends without one.
int findOwningRecord(HWND control);
