#include "app/saveHandler.h"

#include "app/mainWindow.h"
#include "toolkit/controls.h"
#include "toolkit/files.h"

void saveHandler() {
  Text list = controlText(mainForm().control(control::kProxyList));
  ByteSet bytes = toBytes(list + "\r\n\r\n");
  // A file that cannot be written leaves silently: only a written file is confirmed.
  if (writeFile("ip.txt", {&bytes})) messageBox("保存代理ip成功", MB_ICONINFORMATION, "提示");
}
