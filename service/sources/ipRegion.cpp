#include "service/sources/ipRegion.h"

#include <utility>
#include <vector>

#include "service/sources/localFile.h"

namespace {

// Layout: a super block of two little-endian offsets (first and last index block), a header index we
// do not need, the records, then the index blocks of 12 bytes each: start address, end address, and
// a record reference whose low 24 bits are the record's offset and high 8 bits its length. A record is
// a 4-byte city id followed by the five fields separated by "|".
constexpr std::uint32_t kSuperBlockBytes = 8;
constexpr std::uint32_t kIndexBlockBytes = 12;
constexpr std::uint32_t kCityIdBytes = 4;
constexpr int kFieldCount = 5;
// The shipped database is 9 MB; record offsets have 24 bits, so a real one stays far below this.
constexpr std::size_t kMaxDatabaseBytes = 256 * 1024 * 1024;

std::uint32_t readLittle32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

std::string known(std::string_view field) {
  return field == "0" ? std::string() : std::string(field);
}

}  // namespace

IpRegionDb::IpRegionDb(std::string bytes) : bytes_(std::move(bytes)) {
  if (bytes_.size() < kSuperBlockBytes) return;
  std::uint32_t first = readLittle32(bytes_, 0);
  std::uint32_t last = readLittle32(bytes_, 4);
  // 64-bit sums: offsets near 4 GiB must not wrap past the checks.
  if (first < kSuperBlockBytes || last < first || (last - first) % kIndexBlockBytes != 0) return;
  if (std::uint64_t{last} + kIndexBlockBytes > bytes_.size()) return;
  firstIndex_ = first;
  indexCount_ = (last - first) / kIndexBlockBytes + 1;
}

std::optional<IpRegion> IpRegionDb::lookup(std::uint32_t address) const {
  // Binary search over the index blocks, which are sorted by start address.
  std::uint32_t low = 0;
  std::uint32_t high = indexCount_;
  while (low < high) {
    std::uint32_t middle = low + (high - low) / 2;
    std::size_t at = firstIndex_ + std::size_t{middle} * kIndexBlockBytes;
    std::uint32_t start = readLittle32(bytes_, at);
    std::uint32_t end = readLittle32(bytes_, at + 4);
    if (address < start) {
      high = middle;
    } else if (address > end) {
      low = middle + 1;
    } else {
      std::uint32_t reference = readLittle32(bytes_, at + 8);
      std::size_t offset = reference & 0xFFFFFF;
      std::size_t length = reference >> 24;
      if (length < kCityIdBytes || offset + length > bytes_.size()) return std::nullopt;
      std::string_view record(bytes_.data() + offset + kCityIdBytes, length - kCityIdBytes);
      std::vector<std::string_view> fields;
      for (std::size_t bar; (bar = record.find('|')) != std::string_view::npos; record.remove_prefix(bar + 1)) {
        fields.push_back(record.substr(0, bar));
      }
      fields.push_back(record);
      if (fields.size() != kFieldCount) return std::nullopt;
      return IpRegion{known(fields[0]), known(fields[2]), known(fields[3]), known(fields[4])};
    }
  }
  return std::nullopt;
}

std::optional<IpRegionDb> loadIpRegionDb(const std::string& path) {
  LocalFile file = readLocalFile(path, kMaxDatabaseBytes);
  if (!file.ok) return std::nullopt;
  IpRegionDb db(std::move(file.content));
  if (!db.valid()) return std::nullopt;
  return db;
}
