#pragma once
// UTF-8 to GBK with iconv, for texts that come in as UTF-8 (files, the store, the region database)
// and are served to the program in its code page.
#include <iconv.h>

#include <optional>
#include <string_view>

#include "toolkit/valueModel.h"

class Utf8ToGbk {
 public:
  Utf8ToGbk();
  ~Utf8ToGbk();
  Utf8ToGbk(const Utf8ToGbk&) = delete;
  Utf8ToGbk& operator=(const Utf8ToGbk&) = delete;

  bool valid() const { return converter_ != reinterpret_cast<iconv_t>(-1); }

  // Empty when the text is not UTF-8 or holds a character GBK lacks.
  std::optional<Text> convert(std::string_view text);

 private:
  iconv_t converter_;
};
