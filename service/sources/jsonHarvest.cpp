#include "service/sources/jsonHarvest.h"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

namespace {

// Deeper levels are walked but not looked into: a hostile document cannot make the walk hold a level
// per byte.
constexpr std::size_t kMaxDepth = 256;
constexpr std::size_t kMaxKeyLetters = 24;

enum class Role { other, address, port, protocol, username, password };

// What a key names, whatever its case, underscores or dashes ("IP_Address", "proxy-port").
Role roleOf(std::string_view key) {
  static const std::pair<std::string_view, Role> kNames[] = {
      {"ip", Role::address},           {"ipaddress", Role::address},
      {"address", Role::address},      {"addr", Role::address},
      {"host", Role::address},         {"proxyip", Role::address},
      {"proxyaddress", Role::address}, {"proxyhost", Role::address},
      {"server", Role::address},       {"port", Role::port},
      {"proxyport", Role::port},       {"protocol", Role::protocol},
      {"protocols", Role::protocol},   {"type", Role::protocol},
      {"types", Role::protocol},       {"scheme", Role::protocol},
      {"proxytype", Role::protocol},   {"proxyprotocol", Role::protocol},
      {"username", Role::username},    {"user", Role::username},
      {"login", Role::username},       {"proxyuser", Role::username},
      {"password", Role::password},    {"pass", Role::password},
      {"pwd", Role::password},         {"proxypassword", Role::password},
      {"proxypass", Role::password},
  };
  std::string folded;
  for (char c : key) {
    if (c == '_' || c == '-') continue;
    if (folded.size() == kMaxKeyLetters) return Role::other;
    folded += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  for (const auto& [name, role] : kNames) {
    if (folded == name) return role;
  }
  return Role::other;
}

bool isQuadShaped(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789.") == std::string_view::npos;
}

struct Level {
  bool object = false;
  Role role = Role::other;  // of the key just read (an object), or of the key the array is under
  ProxyForm form;
  std::string protocols;  // every protocol text the object holds, joined
};

// nlohmann::json's SAX events: one level per object or array, an object a proxy when it has both fields.
class Walk {
 public:
  explicit Walk(const FoundProxy& found) : found_(found) {}

  bool null() { return true; }
  bool boolean(bool) { return true; }
  bool number_integer(std::int64_t number) { return scalar(std::to_string(number), false); }
  bool number_unsigned(std::uint64_t number) { return scalar(std::to_string(number), false); }
  bool number_float(double, const std::string& text) { return scalar(text, false); }
  bool string(std::string& text) { return scalar(text, true); }
  bool binary(nlohmann::json::binary_t&) { return true; }
  bool start_object(std::size_t) { return open(true); }
  bool start_array(std::size_t) { return open(false); }
  bool end_object() { return close(); }
  bool end_array() { return close(); }
  bool key(std::string& key) {
    if (ignored_ > 0) return true;
    levels_.back().role = roleOf(key);
    if (levels_.back().role == Role::other) findInlineProxies(key, FoundIn::inlineText, found_);
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

 private:
  bool open(bool object) {
    if (ignored_ > 0 || levels_.size() == kMaxDepth) {
      ++ignored_;
      return true;
    }
    Role role = !object && !levels_.empty() ? levels_.back().role : Role::other;
    levels_.push_back({object, role, {}, {}});
    return true;
  }

  bool close() {
    if (ignored_ > 0) {
      --ignored_;
      return true;
    }
    Level& level = levels_.back();
    if (level.object && !level.form.address.empty() && !level.form.port.empty()) {
      level.form.scheme = protocolOfText(level.protocols);
      found_(level.form, FoundIn::jsonObject);
    }
    levels_.pop_back();
    return true;
  }

  bool scalar(std::string_view text, bool isString) {
    if (ignored_ > 0) return true;
    if (levels_.empty()) {
      if (isString) findInlineProxies(text, FoundIn::inlineText, found_);
      return true;
    }
    Level& level = levels_.back();
    // A list of names under a protocol key belongs to the object holding the key.
    Level* owner = level.object                                               ? &level
                   : levels_.size() > 1 && levels_[levels_.size() - 2].object ? &levels_[levels_.size() - 2]
                                                                              : nullptr;
    if (level.role == Role::address && level.object && isString && isQuadShaped(text)) {
      level.form.address.assign(text);
    } else if (level.role == Role::port && level.object) {
      level.form.port.assign(text);
    } else if (level.role == Role::protocol && owner && isString) {
      owner->protocols.append(text).append(" ");
    } else if (level.role == Role::username && level.object && isString) {
      level.form.username.assign(text);
    } else if (level.role == Role::password && level.object && isString) {
      level.form.password.assign(text);
    } else if (isString) {
      findInlineProxies(text, FoundIn::inlineText, found_);
    }
    return true;
  }

  const FoundProxy& found_;
  std::vector<Level> levels_;
  std::size_t ignored_ = 0;  // levels open beyond kMaxDepth
};

}  // namespace

bool findInJson(std::string_view text, const FoundProxy& found) {
  // Checked whole first, so that a document broken half-way reports nothing and is read as text instead.
  if (!nlohmann::json::accept(text.begin(), text.end())) return false;
  Walk walk(found);
  return nlohmann::json::sax_parse(text.begin(), text.end(), &walk);
}
