#include "service/serve/listPage.h"

#include <initializer_list>
#include <string>

#include "protocol/extractPage.h"
#include "protocol/listMarkers.h"
#include "service/serve/htmlText.h"

namespace {

// The page's head with a form that asks as the program does, so the page also works in a browser.
std::string makeHead() {
  using namespace protocol;
  std::string head =
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n"
      "<html>\r\n<head>\r\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">\r\n"
      "<title>代理IP提取</title>\r\n"
      "<style type=\"text/css\">\r\n.STYLE30 {color: #22CADD; font-size: 14px}\r\n.notice {color: "
      "#C00000}\r\n</style>\r\n"
      "</head>\r\n<body>\r\n";
  const auto add = [&head](std::initializer_list<std::string_view> pieces) {
    for (std::string_view piece : pieces) head += piece;
  };
  add({"<form action=\"", kExtractPath.substr(1), "\" method=\"get\">\r\n"});
  add({"  地区：<input type=\"text\" name=\"", kKeyRegion, "\" size=\"8\">\r\n"});
  add({"  数量：<input type=\"text\" name=\"", kKeyCount, "\" value=\"20\" size=\"5\">\r\n"});
  add({"  端口：<input type=\"text\" name=\"", kKeyPort, "\" value=\"18186\" size=\"6\">\r\n"});
  add({"  开头：<input type=\"text\" name=\"", kKeyAddressPrefix, "\" value=\"11\" size=\"6\">\r\n"});
  add({"  运营商：<select name=\"", kKeyCarrier,
       "\"><option value=\"\">全部运营商</option><option>电信</option>"
       "<option>联通</option><option>移动</option></select>\r\n"});
  add({"  <input type=\"submit\" name=\"", kKeySubmit, "\" value=\"", kSubmitValue, "\">\r\n"});
  head += "</form>\r\n";
  return head;
}

const std::string& pageHead() {
  static const std::string head = makeHead();
  return head;
}

// The start marker opens inside the heading's class attribute: the page writes "<h4 cla" and the
// marker carries on with "ss=\"STYLE30\">".
constexpr std::string_view kHeadingStart = "<h4 cla";
constexpr std::string_view kTail = "</body>\r\n</html>\r\n";

}  // namespace

Text renderListPage(std::span<const PoolEntry* const> entries, std::string_view notice) {
  constexpr std::size_t kTypicalEntryBytes = 24;  // "113.0.2.14:18186<BR>" and a little more
  Text page;
  page.reserve(pageHead().size() + 2 * notice.size() + sizeof kListStartMarker + sizeof kListEndMarker + kTail.size() +
               entries.size() * kTypicalEntryBytes + 64);
  page += pageHead();
  if (!notice.empty()) {
    page += "<p class=\"notice\">";
    appendHtmlEscaped(page, notice);
    page += "</p>\r\n";
  }
  page += kHeadingStart;
  page += kListStartMarker;
  for (const PoolEntry* entry : entries) {
    page += entry->address;
    page += ':';
    page += std::to_string(entry->port);
    page += kListSeparator;
  }
  page += kListEndMarker;
  page += kTail;
  return page;
}
