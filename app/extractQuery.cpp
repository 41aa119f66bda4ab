#include "app/extractQuery.h"

#include "protocol/extractPage.h"
#include "protocol/listMarkers.h"
#include "text/text.h"
#include "text/textBetween.h"
#include "web/urlEncode.h"

Text buildExtractQuery(std::string_view baseAddress, const ExtractFilters& filters) {
  // Exact, case-sensitive, whole text: anything else the user picked or typed is sent.
  Text carrier = filters.carrier == kAllCarriers ? Text() : filters.carrier;
  Text query(baseAddress);
  query += protocol::kExtractPath;
  const auto add = [&query](char lead, std::string_view key, const Text& value) {
    query += lead;
    query += key;
    query += '=';
    query += urlEncode(value);
  };
  add('?', protocol::kKeyRegion, filters.region);
  add('&', protocol::kKeyCount, filters.quantity);
  add('&', protocol::kKeyPort, filters.port);
  add('&', protocol::kKeyAddressPrefix, filters.leadingPart);
  add('&', protocol::kKeyCarrier, carrier);
  add('&', protocol::kKeySubmit, Text(protocol::kSubmitValue));
  return query;
}

Array<Text> proxyEntries(std::string_view page) {
  return gbk::split(textBetween(page, kListStartMarker, kListEndMarker), kListSeparator);
}
