#pragma once
// The reply page. Every page the service sends, whatever its status, has the same shape: a small
// query form, an optional notice, then the proxy list between the program's two markers (empty when
// nothing is listed), so the program can always cut the list and lists nothing on any failure.
#include <span>
#include <string_view>

#include "service/store/poolEntry.h"
#include "toolkit/valueModel.h"

inline constexpr char kPageContentType[] = "text/html; charset=gbk";

// Entries are written "address:port", each followed by the separator "<BR>", the last one included
// (the program's split drops the empty piece after a final separator). `notice` is plain GBK text
// shown above the list; it is HTML-escaped here.
Text renderListPage(std::span<const PoolEntry* const> entries, std::string_view notice);
