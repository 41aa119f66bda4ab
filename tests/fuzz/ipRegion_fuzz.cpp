// Arbitrary bytes as the region database file: opening it and looking addresses up must never read
// outside it, whatever its header and index blocks claim.
#include <cstddef>
#include <cstdint>
#include <string>

#include "service/sources/ipRegion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  IpRegionDb db(std::string(reinterpret_cast<const char*>(data), size));
  // The edges of the address space, and addresses taken from the input itself so that the fuzzer
  // can steer the search into the ranges it wrote.
  std::uint32_t probes[] = {0, 1, 0x7F000001u, 0xFFFFFFFFu, 0, 0};
  for (std::size_t i = 0; i < 8 && i < size; ++i) probes[4 + i / 4] = probes[4 + i / 4] << 8 | data[i];
  for (std::uint32_t address : probes) {
    if (std::optional<IpRegion> region = db.lookup(address)) {
      volatile std::size_t touched =
          region->country.size() + region->province.size() + region->city.size() + region->carrier.size();
      (void)touched;
    }
  }
  return 0;
}
