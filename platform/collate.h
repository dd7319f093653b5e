#pragma once
// Name comparison. Stands for CompareStringW(LOCALE_SYSTEM_DEFAULT,
// NORM_IGNORECASE, ...): every layer compares table, column, index and
// relationship names through this one function, so "É" equals "é" and "Σ"
// equals both "σ" and "ς" everywhere. Case is ignored by the Unicode simple
// case folding (one code point to one code point, the locale-independent
// fold), applied to whole code points so that surrogate pairs fold too.
// Unlike Windows' linguistic comparison, canonically equivalent spellings (é
// as one code point, or e followed by a combining accent) stay different.
#include <string>
#include <string_view>

namespace platform {

// The code point a character folds to; itself when it has no case.
char32_t fold_case(char32_t code_point);

// Negative, zero or positive as a orders before, equal to, or after b when
// case is ignored; the order is that of the folded code points.
int compare_ignore_case(std::u16string_view a, std::u16string_view b);

inline bool equal_ignore_case(std::u16string_view a, std::u16string_view b) {
  return compare_ignore_case(a, b) == 0;
}

// Ordering by UTF-16 code units read as unsigned numbers, one by one; a name
// that is a prefix of another comes first. For maps whose order is visible
// to the user as a plain binary order rather than a linguistic one.
struct code_unit_less {
  bool operator()(std::u16string_view a, std::u16string_view b) const noexcept {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
      if (a[i] != b[i]) return static_cast<unsigned>(a[i]) < static_cast<unsigned>(b[i]);
    }
    return a.size() < b.size();
  }
  using is_transparent = void;
};

}  // namespace platform
