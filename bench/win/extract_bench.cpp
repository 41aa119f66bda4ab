// Click to last line for 20, 1,000 and 10,000 proxies from the local service, beside one plain
// WinINet read loop of the same query and one SetWindowTextA of the body.
// Needs the service listening at the configured address (scripts/bench starts it).
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <string>

#include "app/extractHandler.h"
#include "app/extractQuery.h"
#include "app/mainWindow.h"
#include "app/startup.h"
#include "benchTiming.h"
#include "buildConfig.h"
#include "skin/engine.h"
#include "toolkit/controls.h"

namespace {

std::string plainFetch(const std::string& url) {
  std::string body;
  HINTERNET internet = InternetOpenA("bench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  HINTERNET request = InternetOpenUrlA(internet, url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0);
  char buffer[1024];
  DWORD read = 0;
  while (request && InternetReadFile(request, buffer, sizeof buffer, &read) && read > 0) body.append(buffer, read);
  if (request) InternetCloseHandle(request);
  InternetCloseHandle(internet);
  return body;
}

int lineCount(const Text& text) {
  int lines = 0;
  for (size_t at = text.find("\r\n"); at != Text::npos; at = text.find("\r\n", at + 2)) ++lines;
  return lines;
}

}  // namespace

int main() {
  createSkinEngine();
  initialiseModules();
  createMainWindow();
  Form& form = mainForm();
  HWND list = form.control(control::kProxyList);

  int status = 0;
  for (int count : {20, 1000, 10000}) {
    setControlText(form.control(control::kQuantity), std::to_string(count));
    extractHandler();  // warm: connection, caches, code
    if (lineCount(controlText(list)) != count) {
      std::printf("service gave %d lines for %d: is it running at %s?\n", lineCount(controlText(list)), count,
                  QUORVELIP_SERVICE_URL);
      status = 1;
      continue;
    }
    int runs = count >= 10000 ? 7 : 15;
    Timing ours = timeRuns(runs, [] { extractHandler(); });

    ExtractFilters filters{"", std::to_string(count), "18186", "11", kAllCarriers};
    std::string url = buildExtractQuery(QUORVELIP_SERVICE_URL, filters);
    // The baseline shows the same lines: the raw page as one unbroken line would cost the edit
    // box a long wrap of its own and measure that instead.
    Timing baseline = timeRuns(runs, [&] {
      std::string body = plainFetch(url);
      std::string lines;
      lines.reserve(body.size());
      size_t from = 0;
      for (size_t at = body.find("<BR>"); at != std::string::npos; at = body.find("<BR>", from)) {
        lines.append(body, from, at - from).append("\r\n");
        from = at + 4;
      }
      lines.append(body, from, std::string::npos);
      SetWindowTextA(list, lines.c_str());
    });
    std::string figure = "extract_" + std::to_string(count);
    printResult(figure.c_str(), ours, baseline);
  }
  DestroyWindow(form.window());
  return status;
}
