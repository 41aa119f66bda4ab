#include "app/events.h"

#include "app/mainWindow.h"
#include "extract/extractHandler.h"
#include "extract/saveHandler.h"

namespace {
// The creation event hands the window to the skin engine once the engine paints windows; until
// then the toolkit draws the window and its controls itself.
void skinSetUpHandler() {}
}  // namespace

void wireEvents(Form& form) {
  form.onCreated(skinSetUpHandler);
  form.onClick(control::kExtractButton, extractHandler);
  form.onClick(control::kSaveButton, saveHandler);
}
