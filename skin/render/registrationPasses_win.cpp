#include "skin/render/registration.h"

void runRegistrationPasses(int recordIndex, HWND parent) {
  if (recordIndex < 1 || !parent) return;
  registerPushButtons(recordIndex, parent);
  registerCheckAndRadioButtons(recordIndex, parent);
  registerEditBoxes(recordIndex, parent);
  registerTrackBars(recordIndex, parent);
  registerProgressBars(recordIndex, parent);
  registerListLikeControls(recordIndex, parent);
  registerUpDownControls(recordIndex, parent);
  registerHeaders(recordIndex, parent);
}
