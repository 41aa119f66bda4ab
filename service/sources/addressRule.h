#pragma once
// Which addresses an import takes, by where its list came from. The classes of address are the
// store's address policy (addressPolicy.h), which the checker consults too.
#include <cstdint>
#include <string>

struct AddressRule {
  bool fromWeb = false;       // the list came from an http:// or https:// address
  bool allowPrivate = false;  // --allow-private: local-network addresses from the web too
};

// Why an import refuses the addresses first … first + count - 1, naming the first refused one:
// "10.0.0.1 (private): refused from a web source (--allow-private takes it)". Empty when it takes all.
std::string refusedAddress(std::uint32_t first, std::uint32_t count, const AddressRule& rule);
