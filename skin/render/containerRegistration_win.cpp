// Registering a container: its record, the registration passes over its children, the subclass.
#include "skin/controlColours.h"
#include "skin/core/engine.h"
#include "skin/core/properties.h"
#include "skin/render/container.h"
#include "skin/render/controlFont.h"
#include "skin/render/controlRegistration.h"
#include "skin/render/registration.h"
#include "win32/declared.h"

namespace {
constexpr int kOpaque = 255;

bool isGroupBox(HWND window) {
  auto style = static_cast<DWORD>(dll::GetWindowLongA(window, GWL_STYLE));
  return hasClass(window, "Button") && (style & 0x4);
}

ContainerRecord newContainer(HWND window, COLORREF bodyColour, int alpha, int skinned, int border) {
  ContainerRecord container;
  container.window = window;
  container.bodyColour = bodyColour;
  container.alpha = static_cast<BYTE>(alpha);
  container.border = border;
  container.skinned = skinned;
  container.childLayout = Array<LayoutChild>{LayoutChild{}};
  if (isGroupBox(window)) {
    ControlFont font = readControlFont(window);
    container.isGroupBox = 1;
    container.fontFamily = font.family;
    container.fontSize = font.size;
    container.fontStyle = font.style;
  }
  return container;
}
}  // namespace

int registerContainer(HWND container, COLORREF bodyColour, std::optional<int> alpha, std::optional<int> skinned,
                      std::optional<int> border) {
  int recordIndex = findOwningRecord(container);
  WindowRecord* record = skinEngine().recordAt(recordIndex);
  if (!record || !container) return 0;
  if (int existing = findControlRecord(record->containers, container)) return existing;

  int slot = takeRecordSlot(record->containers);
  record->containers[slot] =
      newContainer(container, bodyColour, alpha.value_or(kOpaque), skinned.value_or(1), border.value_or(0));
  runRegistrationPasses(recordIndex, container);
  subclassRegisteredControl(container, containerProcedure, slot, recordIndex);
  return slot;
}
