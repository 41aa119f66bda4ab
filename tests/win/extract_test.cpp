// "提取" on the real main window against a scripted service on the configured address.
#include "support/scriptedServer.h"
// (winsock2 before windows.h)
#include <gtest/gtest.h>

#include "app/extractHandler.h"
#include "buildConfig.h"
#include "support/boxWatcher.h"
#include "support/mainWindowFixture.h"
#include "toolkit/controls.h"
#include "web/urlParts.h"

namespace {

// The markers byte for byte, the Chinese text as its GBK bytes, apart from the program's own
// header: a slip there shows here. The contact text is a constant of the build.
const std::string kStartMarker =
    "ss=\"STYLE30\">"
    "\xCC\xE1\xC8\xA1"
    "IP"
    "\xB3\xA4\xC6\xDA\xC3\xE2\xB7\xD1"
    "\xA1\xA3"
    "\xC7\xEB\xB2\xBB\xD2\xAA\xBE\xAD\xD0\xD0\xB5\xC1\xB0\xE6\xC3\xB0\xD3\xC3\xB0\xE6\xC8\xA8"
    "\xA1\xA3"
    "</h4>\r\n<div align=\"center\">\r\n  <p>\r\n    ";
const std::string kEndMarker =
    std::string("<br/><font color='red' ") + QUORVELIP_CONTACT + "</font> \r\n  </p>\r\n</div>\r\n";

std::string servicePage(const std::string& list) {
  std::string body = "<html><body><h4 cla" + kStartMarker + list + kEndMarker + "</body></html>";
  return "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=gbk\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

class ExtractTest : public MainWindowTest {
 protected:
  static unsigned short servicePort() { return static_cast<unsigned short>(urlPort(QUORVELIP_SERVICE_URL)); }
  static HWND list() { return control("编辑框1"); }
  static std::string queryOf(const std::string& request) {
    size_t start = request.find(' ') + 1;
    return request.substr(start, request.find(" HTTP/1.1") - start);
  }
  void SetUp() override {
    setControlText(control("编辑框_DQ"), "");
    setControlText(control("编辑框_SL"), "20");
    setControlText(control("编辑框_DK"), "18186");
    setControlText(control("编辑框_KT"), "11");
    setControlText(control("组合框1"), "全部运营商");
  }
  // Clicks "提取" as the user would and reports whether any box was shown.
  static int click() {
    BoxWatcher watcher;
    SendMessageA(control("按钮1"), BM_CLICK, 0, 0);
    watcher.stop();
    return watcher.boxesSeen();
  }
};

TEST_F(ExtractTest, InitialFieldsSendTheDocumentedQueryAndListEachEntry) {
  ASSERT_EQ(kStartMarker.size(), 93u);
  ScriptedServer service(servicePage("11.0.0.1:18186<BR>11.0.0.2:18186<BR>"), servicePort());
  ASSERT_TRUE(service.listening());
  EXPECT_EQ(click(), 0);
  EXPECT_EQ(queryOf(service.lastRequest()),
            "/mo.php?sxb=&tqsl=%32%30&ports[]2=%31%38%31%38%36&ktip=%31%31&sxa=&submit=%CC%E1%20%20%C8%A1");
  EXPECT_EQ(controlText(list()), "11.0.0.1:18186\r\n11.0.0.2:18186\r\n");
}

TEST_F(ExtractTest, CarrierAndRegionAreSentEncoded) {
  ScriptedServer service(servicePage(""), servicePort());
  setControlText(control("组合框1"), "电信");
  setControlText(control("编辑框_DQ"), "广东");
  click();
  EXPECT_EQ(queryOf(service.lastRequest()),
            "/mo.php?sxb=%B9%E3%B6%AB&tqsl=%32%30&ports[]2=%31%38%31%38%36&ktip=%31%31&sxa=%B5%E7%D0%C5"
            "&submit=%CC%E1%20%20%C8%A1");
  SendMessageA(control("组合框1"), CB_SETCURSEL, 3, 0);  // "移动" picked from the list
  click();
  EXPECT_NE(queryOf(service.lastRequest()).find("&sxa=%D2%C6%B6%AF&"), std::string::npos);
}

TEST_F(ExtractTest, ListBeginningWithSeparatorGivesAnEmptyFirstLine) {
  ScriptedServer service(servicePage("<BR>a:1<BR><BR>b:2"), servicePort());
  click();
  EXPECT_EQ(controlText(list()), "\r\na:1\r\n\r\nb:2\r\n");
}

TEST_F(ExtractTest, SecondClickReplacesTheList) {
  ScriptedServer service(servicePage("a:1<BR>b:2<BR>"), servicePort());
  click();
  service.setReply(servicePage("c:3<BR>"));
  click();
  EXPECT_EQ(controlText(list()), "c:3\r\n");
}

TEST_F(ExtractTest, RefusedConnectionLeavesTheListEmptyWithoutAMessage) {
  setControlText(list(), "old");
  EXPECT_EQ(click(), 0);
  EXPECT_EQ(controlText(list()), "");
}

}  // namespace
