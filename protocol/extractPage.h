#pragma once
// The extraction page as the program asks for it and the service answers it: its path and query keys.
// The program sends, in this order,
//   <base>/mo.php?sxb=<region>&tqsl=<count>&ports[]2=<port>&ktip=<leading part>&sxa=<carrier>&submit=<button>
// every value percent-encoded GBK. The reply's list markers are in protocol/listMarkers.h.
#include <string_view>

namespace protocol {

inline constexpr std::string_view kExtractPath = "/mo.php";

inline constexpr std::string_view kKeyRegion = "sxb";
inline constexpr std::string_view kKeyCount = "tqsl";
inline constexpr std::string_view kKeyPort = "ports[]2";
inline constexpr std::string_view kKeyAddressPrefix = "ktip";
inline constexpr std::string_view kKeyCarrier = "sxa";
inline constexpr std::string_view kKeySubmit = "submit";  // the button's text; the service ignores it

// The extract button's text, sent as the submit value.
inline constexpr std::string_view kSubmitValue = "提  取";

}  // namespace protocol
