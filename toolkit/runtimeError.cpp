#include "toolkit/runtimeError.h"

std::string runtimeErrorText(int number, std::string_view message) {
  std::string text = "运行时出错!\r\n\r\n";
  if (number != kNoErrorNumber) text += "错误代码：" + std::to_string(number) + "\r\n\r\n";
  if (!message.empty()) {
    text += "错误信息：";
    text += message;
    text += "\r\n";
  }
  return text;
}
