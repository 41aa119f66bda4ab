// The caption buttons' hover fade: 8 steps of 20 ms, in to alpha 240 and out to 0.
#include "skin/core/engine.h"
#include "skin/frame/captionButtons.h"
#include "skin/frame/captionFade.h"

namespace {
constexpr int kFullHoverAlpha = kFadeSteps * kFadeAlphaStep;

bool unfinished(const FadeState& fade) {
  return fade.button >= 1 && fade.step < kFadeSteps;
}

UINT_PTR captionTimerId(HWND window) {
  return reinterpret_cast<UINT_PTR>(window);
}
}  // namespace

void startCaptionTimer(int recordIndex) {
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record || record->fadeTimerRunning) return;
  record->fadeTimerRunning = 1;
  dll::SetTimer(record->window, captionTimerId(record->window), kCaptionTimerMs, nullptr);
}

void advanceCaptionFade(int recordIndex) {
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record) return;
  if (unfinished(record->fadeIn)) {
    ++record->fadeIn.step;
    drawCaptionButton(recordIndex, record->fadeIn.button, nullptr, false, kFadeAlphaStep * record->fadeIn.step);
  }
  if (unfinished(record->fadeOut)) {
    ++record->fadeOut.step;
    drawCaptionButton(recordIndex, record->fadeOut.button, nullptr, false,
                      kFullHoverAlpha - kFadeAlphaStep * record->fadeOut.step);
  }
  bool pointerGone = !record->mouseTracked || !record->fadeTimerRunning;
  if (pointerGone && !unfinished(record->fadeOut)) {
    record->fadeTimerRunning = 0;
    dll::KillTimer(record->window, captionTimerId(record->window));
    record->hoveredCaptionButton = 0;
    record->fadeIn = {};
    record->fadeOut = {};
  }
}

void fadeOutOnMouseLeave(int recordIndex) {
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record || !record->hoveredCaptionButton || !record->captionInteractive) return;
  if (record->fadeIn.step < kFadeSteps && record->fadeOut.step < kFadeSteps) {
    drawCaptionButton(recordIndex, record->fadeOut.button, nullptr, false, 0);
    record->fadeIn = {};
  }
  record->fadeOut = {record->hoveredCaptionButton, 0};
  record->hoveredCaptionButton = 0;
}
