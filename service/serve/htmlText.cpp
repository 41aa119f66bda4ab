#include "service/serve/htmlText.h"

#include <ctime>

void appendHtmlEscaped(std::string& page, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '<':
        page += "&lt;";
        break;
      case '>':
        page += "&gt;";
        break;
      case '&':
        page += "&amp;";
        break;
      case '"':
        page += "&quot;";
        break;
      default:
        page += c;
    }
  }
}

std::string formatUtcTime(std::int64_t seconds, const char* format) {
  std::time_t time = seconds;
  std::tm parts{};
  gmtime_r(&time, &parts);
  char text[64];
  std::size_t length = std::strftime(text, sizeof text, format, &parts);
  return {text, length};
}
