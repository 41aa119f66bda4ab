#pragma once
// The target side of the live check: any quorvelip-service answers GET /check?token=X with its signed
// answer to X (checkAnswer.h; the route is the HTTP front's, in service/serve/routes.*), so one service
// can check proxies for another that shares its key.
#include <optional>
#include <string>
#include <string_view>

#include "service/check/checkKey.h"

// The answer body to a check request with this raw query string (the text after "?"), or nothing
// when the query does not hold exactly one `token` of 1 to kMaxCheckTokenLength hex digits. Other keys
// are ignored, so a check URL may carry a query of its own.
std::optional<std::string> answerCheck(std::string_view rawQuery, const CheckKey& key);
