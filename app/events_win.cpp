#include "app/events.h"

#include "app/extractHandler.h"
#include "app/mainWindow.h"
#include "app/saveHandler.h"
#include "resources/pictures.h"
#include "skin/core/engine.h"

namespace {
constexpr int kSkinTranslucency = 50;

// The creation event hands the window, the background photograph and the translucency level to
// the skin engine.
void skinSetUpHandler() {
  skinEngine().skinEntry(mainForm().window(), qv_picture_background.toByteSet(), kSkinTranslucency);
}
}  // namespace

void wireEvents(Form& form) {
  form.onCreated(skinSetUpHandler);
  form.onClick(control::kExtractButton, extractHandler);
  form.onClick(control::kSaveButton, saveHandler);
}
