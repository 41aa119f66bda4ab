#include "service/listPage.h"

#include <string>

#include "extract/markers.h"
#include "service/htmlText.h"

namespace {

// The start marker opens inside the heading's class attribute: the page writes "<h4 cla" and the
// marker carries on with "ss=\"STYLE30\">".
constexpr std::string_view kHead =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n"
    "<html>\r\n<head>\r\n"
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">\r\n"
    "<title>代理IP提取</title>\r\n"
    "<style type=\"text/css\">\r\n.STYLE30 {color: #22CADD; font-size: 14px}\r\n.notice {color: "
    "#C00000}\r\n</style>\r\n"
    "</head>\r\n<body>\r\n"
    "<form action=\"mo.php\" method=\"get\">\r\n"
    "  地区：<input type=\"text\" name=\"sxb\" size=\"8\">\r\n"
    "  数量：<input type=\"text\" name=\"tqsl\" value=\"20\" size=\"5\">\r\n"
    "  端口：<input type=\"text\" name=\"ports[]2\" value=\"18186\" size=\"6\">\r\n"
    "  开头：<input type=\"text\" name=\"ktip\" value=\"11\" size=\"6\">\r\n"
    "  运营商：<select name=\"sxa\"><option value=\"\">全部运营商</option><option>电信</option>"
    "<option>联通</option><option>移动</option></select>\r\n"
    "  <input type=\"submit\" name=\"submit\" value=\"提  取\">\r\n"
    "</form>\r\n";
constexpr std::string_view kHeadingStart = "<h4 cla";
constexpr std::string_view kTail = "</body>\r\n</html>\r\n";

}  // namespace

Text renderListPage(std::span<const PoolEntry* const> entries, std::string_view notice) {
  constexpr std::size_t kTypicalEntryBytes = 24;  // "113.0.2.14:18186<BR>" and a little more
  Text page;
  page.reserve(kHead.size() + 2 * notice.size() + sizeof kListStartMarker + sizeof kListEndMarker + kTail.size() +
               entries.size() * kTypicalEntryBytes + 64);
  page += kHead;
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
