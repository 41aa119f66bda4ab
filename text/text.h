#pragma once
// Text primitives on GBK texts. Positions are 1-based and count bytes; a search that finds
// nothing gives -1. A byte of 0x80 or above starts a two-byte character: searches step over it
// as one unit and never report a match that starts on its second byte. Character boundaries are
// counted from where a search begins, the way the walk reads the text.
#include <string_view>

#include "toolkit/valueModel.h"

namespace gbk {

// First occurrence at or after `start` (below 1: from the beginning; beyond the end: -1).
// An empty search gives 1 while any text remains from `start`, else -1. ignoreCase folds the
// ASCII letters only, never the second byte of a two-byte character.
int find(std::string_view text, std::string_view search, int start = 1, bool ignoreCase = false);

// Last occurrence (on a character boundary counted from the beginning), -1 when none.
int findLast(std::string_view text, std::string_view search);

int length(std::string_view text);

// Byte slices; counts of 0 or less and starts outside 1..length give the empty text.
Text left(std::string_view text, int n);
Text right(std::string_view text, int n);
Text mid(std::string_view text, int start, int n);

// Blanks are the ASCII space and the full-width space A1 A1.
Text trim(std::string_view text);
Text removeBlanks(std::string_view text);

// A to Z become a to z; two-byte characters are left alone.
Text lowercase(std::string_view text);

// Replaces occurrences left to right from `start`, resuming after each replacement.
// count -1 replaces all of them. Letter case is ignored unless matchCase is set.
Text replace(std::string_view text, std::string_view search, std::string_view replacement = "", int start = 1,
             int count = -1, bool matchCase = false);

// Pieces between exact matches of the separator, in text order. A separator at the start gives
// an empty first piece, adjacent separators an empty piece, a separator at the end no piece.
// Empty text, or maxCount 0 or another negative than -1 (no limit): no pieces. Empty separator:
// the whole text as one piece. Once maxCount pieces are taken the rest is dropped.
Array<Text> split(std::string_view text, std::string_view separator = ",", int maxCount = -1);

// n ASCII spaces; n below 1 gives the empty text.
Text blankText(int n);

}  // namespace gbk
