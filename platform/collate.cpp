#include "platform/collate.h"

#include <algorithm>
#include <iterator>

namespace platform {
namespace {

struct fold_pair {
  char32_t from;
  char32_t to;
};

constexpr fold_pair fold_table[] = {
#include "platform/casefold.inc"
};

// Reads the code point at text[i] and advances i; an unpaired surrogate is
// taken as the code point of its own value, as Windows keeps it.
char32_t next_code_point(std::u16string_view text, size_t& i) {
  const char32_t unit = text[i++];
  if (unit >= 0xD800 && unit <= 0xDBFF && i < text.size()) {
    const char32_t low = text[i];
    if (low >= 0xDC00 && low <= 0xDFFF) {
      ++i;
      return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
  }
  return unit;
}

}  // namespace

char32_t fold_case(char32_t code_point) {
  if (code_point < 0x80) {  // the common case, without the search
    return (code_point >= 'A' && code_point <= 'Z') ? code_point + 0x20 : code_point;
  }
  const auto end = std::end(fold_table);
  const auto it = std::lower_bound(std::begin(fold_table), end, code_point,
                                   [](const fold_pair& p, char32_t c) { return p.from < c; });
  return (it != end && it->from == code_point) ? it->to : code_point;
}

int compare_ignore_case(std::u16string_view a, std::u16string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const char32_t ca = fold_case(next_code_point(a, i));
    const char32_t cb = fold_case(next_code_point(b, j));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

}  // namespace platform
