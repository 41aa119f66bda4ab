#pragma once
// Building the extraction service's query and cutting the proxy list out of its reply.
#include <string_view>

#include "toolkit/valueModel.h"

struct ExtractFilters {
  Text region;       // sxb
  Text quantity;     // tqsl
  Text port;         // ports[]2
  Text leadingPart;  // ktip
  Text carrier;      // sxa: the combo box's text; "全部运营商" sends an empty value
};

// The carrier item that stands for every carrier.
inline constexpr char kAllCarriers[] = "全部运营商";

// base + "/mo.php?sxb=...&tqsl=...&ports[]2=...&ktip=...&sxa=...&submit=...", every value byte
// percent-encoded, the keys as they stand.
Text buildExtractQuery(std::string_view baseAddress, const ExtractFilters& filters);

// The pieces of the list between the two markers of the page, split at "<BR>".
Array<Text> proxyEntries(std::string_view page);
