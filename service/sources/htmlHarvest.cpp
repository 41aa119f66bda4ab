#include "service/sources/htmlHarvest.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "service/sources/jsonHarvest.h"

namespace {

constexpr std::size_t kNone = std::string_view::npos;
constexpr std::size_t kMaxPortText = 6;       // enough to tell a port from a number too large for one
constexpr std::size_t kMaxProtocolCell = 32;  // a cell naming a protocol is short
constexpr std::size_t kMaxEntityLetters = 10;
// Tables nested deeper than any page nests them are read as part of the table holding them: a page of
// "<table>" repeated cannot make the walk hold a table per tag.
constexpr std::size_t kMaxTableDepth = 32;

bool isLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAlnum(char c) {
  return isLetter(c) || (c >= '0' && c <= '9');
}

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowered(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = lower(c);
  return result;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

// Elements that do not break a line of text: a proxy written across them is still one.
bool isInline(std::string_view name) {
  static constexpr std::string_view kInline[] = {
      "a", "abbr", "b",    "bdi",   "bdo",  "cite",   "code", "data", "dfn",  "em", "font", "i",   "kbd", "mark",
      "q", "s",    "samp", "small", "span", "strong", "sub",  "sup",  "time", "tt", "u",    "var", "wbr"};
  return std::find(std::begin(kInline), std::end(kInline), name) != std::end(kInline);
}

void appendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The character an entity's name (between "&" and ";") stands for, appended; false for one not known here.
bool appendEntity(std::string& out, std::string_view name) {
  if (name == "amp") return out += '&', true;
  if (name == "lt") return out += '<', true;
  if (name == "gt") return out += '>', true;
  if (name == "quot") return out += '"', true;
  if (name == "apos") return out += '\'', true;
  if (name == "nbsp") return out += ' ', true;  // a space to the reader: it separates words
  if (name.size() < 2 || name[0] != '#') return false;
  bool hex = name[1] == 'x' || name[1] == 'X';
  std::uint32_t code = 0;
  std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty()) return false;
  for (char c : digits) {
    int value = c >= '0' && c <= '9' ? c - '0' : hex && lower(c) >= 'a' && lower(c) <= 'f' ? lower(c) - 'a' + 10 : -1;
    if (value < 0) return false;
    code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(value);
    if (code > 0x10FFFF) return false;
  }
  if (code == 0 || (code >= 0xD800 && code <= 0xDFFF)) return false;
  if (code == 0xA0) code = ' ';
  appendUtf8(out, code);
  return true;
}

// The "words" of a header cell, for naming its column.
bool hasWord(std::string_view text, std::initializer_list<std::string_view> words) {
  bool found = false;
  forEachWord(text, [&](std::string_view word) {
    found = found || std::find(words.begin(), words.end(), lowered(word)) != words.end();
  });
  return found;
}

bool isQuadShaped(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789.") == kNone &&
         std::count(text.begin(), text.end(), '.') == 3;
}

bool isDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == kNone;
}

struct Cell {
  std::string text;
  bool header = false;
};

struct Table {
  bool inHead = false;
  bool rowOpen = false;
  bool inCell = false;
  std::vector<Cell> cells;
  // Columns a header row named.
  std::size_t address = kNone, port = kNone, protocol = kNone, username = kNone, password = kNone;
};

class HtmlWalk {
 public:
  HtmlWalk(std::string_view page, const FoundProxy& found) : page_(page), found_(found) {}

  void run() {
    std::size_t at = 0;
    while (at < page_.size()) {
      std::size_t stop = page_.find_first_of("<&", at);
      if (stop == kNone) stop = page_.size();
      target().append(page_.substr(at, stop - at));
      at = stop;
      if (at == page_.size()) break;
      at = page_[at] == '&' ? entity(at) : markup(at);
    }
    while (!tables_.empty()) endTable();
    flushText();
  }

 private:
  // Where text goes now: the open cell of the innermost table, or the running text.
  std::string& target() {
    if (!tables_.empty() && tables_.back().inCell) return tables_.back().cells.back().text;
    return text_;
  }

  std::size_t entity(std::size_t at) {
    // Looked for only as far as an entity's name reaches: a page of "&" without ";" stays linear.
    std::size_t semicolon = page_.substr(0, std::min(page_.size(), at + 2 + kMaxEntityLetters)).find(';', at + 1);
    if (semicolon != kNone && appendEntity(target(), page_.substr(at + 1, semicolon - at - 1))) {
      return semicolon + 1;
    }
    target() += '&';
    return at + 1;
  }

  // A tag, comment or declaration at `at` (a "<"): what follows it.
  std::size_t markup(std::size_t at) {
    if (page_.substr(at, 4) == "<!--") {
      std::size_t end = page_.find("-->", at + 4);
      return end == kNone ? page_.size() : end + 3;
    }
    if (at + 1 < page_.size() && (page_[at + 1] == '!' || page_[at + 1] == '?')) {
      breakText();
      std::size_t end = page_.find('>', at);
      return end == kNone ? page_.size() : end + 1;
    }
    bool closing = at + 1 < page_.size() && page_[at + 1] == '/';
    std::size_t nameStart = at + 1 + (closing ? 1 : 0);
    if (nameStart >= page_.size() || !isLetter(page_[nameStart])) {
      target() += '<';  // "a < b" in text
      return at + 1;
    }
    std::size_t nameEnd = nameStart;
    while (nameEnd < page_.size() && isAlnum(page_[nameEnd])) ++nameEnd;
    std::size_t end = tagEnd(nameEnd);
    if (end == kNone) return page_.size();  // a tag never closed: nothing after it is text
    std::string name = lowered(page_.substr(nameStart, nameEnd - nameStart));
    if (!closing && (name == "script" || name == "style")) {
      std::size_t contentEnd = closingTag(end + 1, name);
      if (name == "script" && lowered(page_.substr(nameEnd, end - nameEnd)).find("json") != std::string::npos) {
        findInJson(page_.substr(end + 1, contentEnd - end - 1), found_);
      }
      breakText();
      std::size_t after = page_.find('>', contentEnd);
      return after == kNone ? page_.size() : after + 1;
    }
    tag(name, closing);
    return end + 1;
  }

  // The ">" ending a tag whose name ends at `at`; quoted attribute values may hold one.
  std::size_t tagEnd(std::size_t at) const {
    while (at < page_.size()) {
      char c = page_[at];
      if (c == '>') return at;
      if (c == '=') {
        ++at;
        while (at < page_.size() && isSpace(page_[at])) ++at;
        if (at < page_.size() && (page_[at] == '"' || page_[at] == '\'')) {
          std::size_t close = page_.find(page_[at], at + 1);
          if (close == kNone) return kNone;
          at = close + 1;
        }
        continue;
      }
      ++at;
    }
    return kNone;
  }

  // Where "</name" begins after a script's or style's content, or the page's end.
  std::size_t closingTag(std::size_t from, std::string_view name) const {
    for (std::size_t at = page_.find("</", from); at != kNone; at = page_.find("</", at + 2)) {
      std::size_t after = at + 2 + name.size();
      if (after <= page_.size() && lowered(page_.substr(at + 2, name.size())) == name &&
          (after == page_.size() || !isAlnum(page_[after]))) {
        return at;
      }
    }
    return page_.size();
  }

  void tag(const std::string& name, bool closing) {
    if (name == "table") {
      breakText();
      if (!closing) {
        if (tables_.size() < kMaxTableDepth) {
          tables_.emplace_back();
        } else {
          ++tablesTooDeep_;
        }
      } else if (tablesTooDeep_ > 0) {
        --tablesTooDeep_;
      } else if (!tables_.empty()) {
        endTable();
      }
    } else if (name == "thead") {
      if (!tables_.empty()) {
        endRow(tables_.back());
        tables_.back().inHead = !closing;
      }
    } else if (name == "tr") {
      if (!closing) {
        startRow();
      } else if (!tables_.empty()) {
        endRow(tables_.back());
      }
    } else if (name == "td" || name == "th") {
      if (!closing) {
        startCell(name == "th");
      } else if (!tables_.empty()) {
        tables_.back().inCell = false;
      }
    } else if (!isInline(name)) {
      breakText();
    }
  }

  // A line ends: in a cell it stays part of the cell's text; outside, the text so far is read.
  void breakText() {
    if (!tables_.empty() && tables_.back().inCell) {
      tables_.back().cells.back().text += '\n';
    } else {
      flushText();
    }
  }

  void flushText() {
    findInlineProxies(text_, FoundIn::inlineText, found_);
    text_.clear();
  }

  void startRow() {
    flushText();
    if (tables_.empty()) tables_.emplace_back();  // a row outside any table: a page's fragment
    endRow(tables_.back());
    tables_.back().rowOpen = true;
  }

  void startCell(bool header) {
    if (tables_.empty() || !tables_.back().rowOpen) startRow();
    flushText();
    Table& table = tables_.back();
    table.inCell = true;
    table.cells.push_back({{}, header});
  }

  void endTable() {
    endRow(tables_.back());
    tables_.pop_back();
  }

  void endRow(Table& table) {
    if (table.rowOpen) {
      for (Cell& cell : table.cells) cell.text = trimmed(cell.text);
      bool header = table.inHead ||
                    std::all_of(table.cells.begin(), table.cells.end(), [](const Cell& cell) { return cell.header; });
      if (header) {
        nameColumns(table);
      } else {
        readRow(table);
      }
    }
    table.cells.clear();
    table.rowOpen = false;
    table.inCell = false;
  }

  static void nameColumns(Table& table) {
    table.address = table.port = table.protocol = table.username = table.password = kNone;
    for (std::size_t at = 0; at < table.cells.size(); ++at) {
      std::string_view name = table.cells[at].text;
      if (hasWord(name, {"port"})) {
        table.port = at;
      } else if (hasWord(name, {"ip", "address", "ipaddress", "host"})) {
        table.address = at;
      } else if (hasWord(name, {"protocol", "protocols", "type", "scheme"})) {
        table.protocol = at;
      } else if (hasWord(name, {"user", "username", "login"})) {
        table.username = at;
      } else if (hasWord(name, {"pass", "password"})) {
        table.password = at;
      }
    }
  }

  void readRow(const Table& table) {
    const std::vector<Cell>& cells = table.cells;
    auto named = [&](std::size_t column) { return column < cells.size() ? column : kNone; };
    std::size_t address = named(table.address);
    if (address == kNone || !isQuadShaped(cells[address].text)) {
      address = kNone;
      for (std::size_t at = 0; at < cells.size() && address == kNone; ++at) {
        if (isQuadShaped(cells[at].text)) address = at;
      }
    }
    std::size_t port = named(table.port);
    if (port == kNone && address != kNone) port = named(address + 1);
    bool proxyRow = address != kNone && port != kNone && isDigits(cells[port].text);
    ProtocolSet protocol = 0;
    if (std::size_t column = named(table.protocol); column != kNone) {
      protocol = protocolOfText(cells[column].text);
    } else {
      for (std::size_t at = 0; at < cells.size() && !protocol; ++at) {
        bool taken = proxyRow && (at == address || at == port);
        if (!taken && cells[at].text.size() <= kMaxProtocolCell) protocol = protocolOfText(cells[at].text);
      }
    }
    if (proxyRow) {
      ProxyForm form;
      form.address = cells[address].text;
      form.port = cells[port].text.substr(0, kMaxPortText);
      form.scheme = protocol;
      if (std::size_t column = named(table.username); column != kNone) form.username = cells[column].text;
      if (std::size_t column = named(table.password); column != kNone) form.password = cells[column].text;
      found_(form, FoundIn::tableRow);
    }
    // Other cells may hold proxies written inline ("1.2.3.4:8080" in one cell); the row's protocol is theirs.
    FoundProxy inRow = [&](ProxyForm& form, FoundIn where) {
      if (!form.scheme) form.scheme = protocol;
      found_(form, where);
    };
    for (std::size_t at = 0; at < cells.size(); ++at) {
      if (proxyRow && (at == address || at == port)) continue;
      findInlineProxies(cells[at].text, FoundIn::inlineText, inRow);
    }
  }

  std::string_view page_;
  const FoundProxy& found_;
  std::string text_;
  std::vector<Table> tables_;
  std::size_t tablesTooDeep_ = 0;  // open beyond kMaxTableDepth
};

}  // namespace

void findInHtml(std::string_view page, const FoundProxy& found) {
  HtmlWalk(page, found).run();
}
