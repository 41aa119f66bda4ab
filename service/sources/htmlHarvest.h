#pragma once
// Proxies on an HTML page, or in plain text (a page without tags): those written inline in its visible
// text (see proxyForm.h), and its tables' rows with the address and the port in cells of their own, with
// the protocol, user name and password from cells of their own when the row has them (columns named by a
// header row, or found by their content). Scripts, styles and comments are not text and are passed
// over, but for a script holding JSON (type="application/json" and the like), read as JSON. Linear in
// the page.
#include <string_view>

#include "service/sources/proxyForm.h"

void findInHtml(std::string_view page, const FoundProxy& found);
