#include "app/extractHandler.h"

#include "app/extractQuery.h"
#include "app/mainWindow.h"
#include "buildConfig.h"
#include "toolkit/controls.h"
#include "web/webRequest.h"

void extractHandler() {
  Form& form = mainForm();
  HWND list = form.control(control::kProxyList);
  // Emptied first, so a failed extraction leaves it empty.
  setControlText(list, "");

  ExtractFilters filters;
  filters.carrier = controlText(form.control(control::kCarrier));
  filters.region = controlText(form.control(control::kRegion));
  filters.quantity = controlText(form.control(control::kQuantity));
  filters.port = controlText(form.control(control::kPort));
  filters.leadingPart = controlText(form.control(control::kLeadingPart));

  Text page = webGetText(buildExtractQuery(QUORVELIP_SERVICE_URL, filters));
  Array<Text> entries = proxyEntries(page);
  Array<Text> lines;
  for (int i = 1; i <= entries.count(); ++i) lines.append(entries[i] + "\r\n");
  appendTexts(list, lines);
}
