#include "web/cookies.h"

#include "text/text.h"

namespace {

constexpr std::string_view kDeletedSuffix = "=deleted";
constexpr std::string_view kItemSeparator = "; ";

// Removes as many bytes from the end as the separator has (the one after the last item).
Text withoutTrailing(const Text& text, std::string_view separator) {
  return gbk::left(text, gbk::length(text) - gbk::length(separator));
}

}  // namespace

Text mergeCookies(Text& cookies, Text& newCookies) {
  cookies = gbk::removeBlanks(cookies);
  newCookies = gbk::removeBlanks(newCookies);
  Array<Text> oldList = gbk::split(cookies, ";");
  Array<Text> newList = gbk::split(newCookies, ";");
  // Newer cookies win over older ones of the same name.
  for (const Text& item : oldList) {
    if (!hasCookie(newList, cookieName(item))) newList.append(item);
  }
  Text merged;
  for (const Text& item : newList) {
    if (gbk::right(item, gbk::length(kDeletedSuffix)) == kDeletedSuffix) continue;
    merged += item;
    merged += kItemSeparator;
  }
  cookies = uniqueItems(withoutTrailing(merged, kItemSeparator), kItemSeparator);
  return cookies;
}

Text cookieName(std::string_view item) {
  int p = gbk::find(item, "=");
  return gbk::trim(p == -1 ? Text(item) : gbk::left(item, p - 1));
}

bool hasCookie(const Array<Text>& items, std::string_view name) {
  for (int i = 1; i <= items.count(); ++i) {
    if (cookieName(items[i]) == name) return true;
  }
  return false;
}

Text uniqueItems(std::string_view text, std::string_view separator) {
  Array<Text> seen;
  Text result;
  for (const Text& piece : gbk::split(text, separator)) {
    if (itemIndex(seen, piece) != -1) continue;
    seen.append(piece);
    result += piece;
    result += separator;
  }
  return withoutTrailing(result, separator);
}

int itemIndex(const Array<Text>& items, std::string_view text) {
  for (int i = 1; i <= items.count(); ++i) {
    if (items[i] == text) return i;
  }
  return -1;
}
