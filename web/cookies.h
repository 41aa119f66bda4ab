#pragma once
// Merging the cookies a reply set into the caller's cookie text. Items are name=value, separated
// by ";" as sent or "; " as produced. Names and items compare byte for byte, case-sensitive.
#include <string_view>

#include "toolkit/valueModel.h"

// Removes every blank from both texts (writing them back), keeps the new cookies and those old
// ones whose name is not among them, drops items ending in "=deleted" and repeated items.
// The result is stored into `cookies` and returned.
Text mergeCookies(Text& cookies, Text& newCookies);

// The text before the item's first '=' (the whole item without one), outer blanks removed.
Text cookieName(std::string_view item);

bool hasCookie(const Array<Text>& items, std::string_view name);

// The separator-joined text with later repeats of an item left out.
Text uniqueItems(std::string_view text, std::string_view separator);

// 1-based index of the first element equal to the text, -1 when none is.
int itemIndex(const Array<Text>& items, std::string_view text);
