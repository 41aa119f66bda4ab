#include "skin/engine.h"

#include "gfx/declared.h"

namespace {
SkinEngine* theEngine = nullptr;
}

SkinEngine::SkinEngine() = default;

SkinEngine::~SkinEngine() {
  shutDownGdiplus();
  if (settings_.applicationIcon) DestroyIcon(settings_.applicationIcon);
}

void SkinEngine::shutDownGdiplus() {
  if (gdiplusShutDown_ || !settings_.gdiplusToken) return;
  gdiplusShutDown_ = true;
  dll::GdiplusShutdown(settings_.gdiplusToken);
}

void createSkinEngine() {
  if (!theEngine) theEngine = new SkinEngine();
}

void destroySkinEngine() {
  delete theEngine;
  theEngine = nullptr;
}

SkinEngine& skinEngine() { return *theEngine; }
