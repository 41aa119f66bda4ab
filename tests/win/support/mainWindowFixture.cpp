#include "support/mainWindowFixture.h"

#include "app/startup.h"
#include "skin/core/engine.h"
#include "support/windows.h"

void MainWindowTest::SetUpTestSuite() {
  if (mainForm().window()) return;
  createSkinEngine();
  initialiseModules();
  createMainWindow();
  pumpMessages(100);
}
