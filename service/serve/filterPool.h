#pragma once
// Choosing the entries a query asks for.
#include <string_view>
#include <vector>

#include "service/serve/extractRequest.h"
#include "service/store/poolEntry.h"

// The first `request.count` entries, in pool order, that pass every given filter:
// - port: equal to the entry's port;
// - address prefix: the entry's address starts with it, byte for byte;
// - region: occurs anywhere in the entry's region (province) or in its city, matched on whole GBK characters (so "州"
// finds
//   广东广州 and 福建福州, and a trail byte followed by a lead byte never forms a false match);
// - carrier: equal to the entry's carrier.
// Empty filters pass everything. The pointers point into `pool`.
std::vector<const PoolEntry*> filterPool(const std::vector<PoolEntry>& pool, const ExtractRequest& request);

// Whether `needle` occurs in `text` starting and ending on GBK character boundaries of `text`.
bool containsGbk(std::string_view text, std::string_view needle);
