#pragma once
// The skin engine: one object for the whole run, created at start-up before the main window
// exists and destroyed by the shut-down routine.
#include "skin/settings.h"

class SkinEngine {
 public:
  SkinEngine();
  SkinEngine(const SkinEngine&) = delete;
  SkinEngine& operator=(const SkinEngine&) = delete;
  virtual ~SkinEngine();

  SkinSettings& settings() { return settings_; }

  // Shuts GDI+ down with the start-up token; runs at most once (at WM_QUIT or destruction).
  void shutDownGdiplus();

 private:
  SkinSettings settings_;
  bool gdiplusShutDown_ = false;
};

void createSkinEngine();
void destroySkinEngine();
// The single engine object; only valid between createSkinEngine and destroySkinEngine.
SkinEngine& skinEngine();
