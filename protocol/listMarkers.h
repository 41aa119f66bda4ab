#pragma once
// The two markers between which the extraction service's reply page holds the proxy list, and
// the separator between entries. Shared by the program and the local service.
#include "buildConfig.h"

inline constexpr char kListStartMarker[] =
    "ss=\"STYLE30\">提取IP长期免费。请不要经行盗版冒用版权。</h4>\r\n<div align=\"center\">\r\n  <p>\r\n    ";
inline constexpr char kListEndMarker[] = "<br/><font color='red' " QUORVELIP_CONTACT "</font> \r\n  </p>\r\n</div>\r\n";
inline constexpr char kListSeparator[] = "<BR>";
