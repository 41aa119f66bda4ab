#include "text/textBetween.h"

#include "text/text.h"

namespace {

// "#引号" as GBK bytes, written out so the routine reads the same under any compiler charset.
constexpr std::string_view kQuoteWord = "#\xD2\xFD\xBA\xC5";

// The marker with every "#引号" turned into '"'; the view itself when there is none to turn.
std::string_view withQuotes(std::string_view marker, Text& storage) {
  if (marker.find('#') == std::string_view::npos) return marker;
  storage = gbk::replace(marker, kQuoteWord, "\"", 1, -1, true);
  return storage;
}

}  // namespace

Text textBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker, int startPos,
                 bool ignoreCase) {
  Text startStorage;
  Text endStorage;
  startMarker = withQuotes(startMarker, startStorage);
  endMarker = withQuotes(endMarker, endStorage);

  int g = gbk::find(text, startMarker, startPos, ignoreCase);
  if (g == -1) return Text();
  g += gbk::length(startMarker);
  int r = gbk::find(text, endMarker, g, ignoreCase);
  if (r == -1) return Text();
  return gbk::mid(text, g, r - g);
}
