// The engine object, its tables and the record lookups.
#include "skin/core/engine.h"

#include "win32/declared.h"

namespace {
SkinEngine* theEngine = nullptr;
}

SkinEngine::SkinEngine() {
  settings_.skinBaseColour = dll::GetSysColor(COLOR_BTNFACE);
}

// The application icon comes from LoadIconA and is shared: it is not destroyed. GDI+ is shut down
// by the shut-down routine once the engine is gone.
SkinEngine::~SkinEngine() {
  // Each record releases its frame buffers as it goes.
  windowRecords_.clear();
  // Renderers release their buffers within one paint; whatever is left belongs to nobody now.
  for (BackBufferEntry& entry : backBuffers_) {
    if (entry.previous) dll::SelectObject(entry.dc, entry.previous);
    dll::DeleteObject(entry.bitmap);
    dll::DeleteDC(entry.dc);
  }
  backBuffers_.clear();
}

WindowRecord* SkinEngine::recordAt(int index) {
  if (index < 1 || index > windowRecords_.count()) return nullptr;
  return windowRecords_[index].get();
}

void SkinEngine::setControlOptions(bool skinEnabled, std::optional<int> translucency, std::optional<int> option2) {
  constexpr int kDefaultTranslucency = 160;
  constexpr int kDefaultOption2 = 1;
  settings_.skinEnabled = skinEnabled ? 1 : 0;
  settings_.globalTranslucency = translucency.value_or(kDefaultTranslucency);
  settings_.translucencyGiven = translucency.has_value() ? 1 : 0;
  settings_.controlOption2 = option2.value_or(kDefaultOption2);
}

void createSkinEngine() {
  if (!theEngine) theEngine = new SkinEngine();
}

void destroySkinEngine() {
  delete theEngine;
  theEngine = nullptr;
}

SkinEngine& skinEngine() {
  return *theEngine;
}

bool skinEngineExists() {
  return theEngine != nullptr;
}

int findWindowRecord(HWND window) {
  if (!theEngine || !window) return 0;
  WindowRecordTable& table = theEngine->windowRecords();
  for (int i = 1; i <= table.count(); ++i)
    if (table[i] && table[i]->window == window) return i;
  return 0;
}

int findOwningRecord(HWND control) {
  // The control itself counts, so a back buffer of a skinned window reads its own background.
  for (HWND window = control; window; window = dll::GetParent(window)) {
    int index = findWindowRecord(window);
    if (index) return index;
  }
  return 0;
}
