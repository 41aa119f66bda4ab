#pragma once
// The offline IPv4 region database (ip2region's binary format, as shipped in its 2.3.0 package):
// maps address ranges to "country|area|province|city|carrier" in UTF-8. The file comes from outside,
// so every offset and length read from it is checked; anything malformed reads as "unknown".
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct IpRegion {
  std::string country;  // UTF-8; empty where the database says "0" (unknown)
  std::string province;
  std::string city;
  std::string carrier;
};

class IpRegionDb {
 public:
  // Takes the whole file's bytes. A file whose header does not describe an index inside it gives a
  // database that knows nothing (valid() false).
  explicit IpRegionDb(std::string bytes);

  bool valid() const { return indexCount_ > 0; }

  // The record of the range holding `address` (host order), or empty when no range holds it or the
  // record is malformed.
  std::optional<IpRegion> lookup(std::uint32_t address) const;

 private:
  std::string bytes_;
  std::uint32_t firstIndex_ = 0;
  std::uint32_t indexCount_ = 0;
};

// Reads the file; empty when it cannot be read or is not a usable database.
std::optional<IpRegionDb> loadIpRegionDb(const std::string& path);
