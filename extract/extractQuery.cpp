#include "extract/extractQuery.h"

#include "extract/markers.h"
#include "extract/urlEncode.h"
#include "web/text.h"
#include "web/textBetween.h"

Text buildExtractQuery(std::string_view baseAddress, const ExtractFilters& filters) {
  // Exact, case-sensitive, whole text: anything else the user picked or typed is sent.
  Text carrier = filters.carrier == kAllCarriers ? Text() : filters.carrier;
  Text query(baseAddress);
  query += kExtractPage;
  query += "?sxb=" + urlEncode(filters.region);
  query += "&tqsl=" + urlEncode(filters.quantity);
  query += "&ports[]2=" + urlEncode(filters.port);
  query += "&ktip=" + urlEncode(filters.leadingPart);
  query += "&sxa=" + urlEncode(carrier);
  query += "&submit=" + urlEncode(kSubmitValue);
  return query;
}

Array<Text> proxyEntries(std::string_view page) {
  return gbk::split(textBetween(page, kListStartMarker, kListEndMarker), kListSeparator);
}
