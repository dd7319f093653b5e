#pragma once
// A Windows single-byte code page as two lookup tables, for file formats
// that store text one byte a character in the code page their header names
// (Access 95/97 databases). Built once per code page from iconv's tables and
// kept for the life of the process; lookups are plain array reads, so any
// number of threads may use a table at once.
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace platform {

class code_page_table {
 public:
  // The table of a Windows code page number (1252, 1251, 1250, 437...);
  // null when the code page is not a single-byte one this system knows.
  static const code_page_table* find(unsigned code_page);

  unsigned code_page() const { return code_page_; }

  char16_t to_unicode(uint8_t byte) const { return to_unicode_[byte]; }
  // The byte that stands for `unit`; false when the code page has none.
  bool from_unicode(char16_t unit, uint8_t& byte) const {
    if (unit < 0x80 && ascii_) {
      byte = uint8_t(unit);
      return true;
    }
    uint16_t stored = from_unicode_[unit];
    if (stored == none) return false;
    byte = uint8_t(stored);
    return true;
  }
  // True when every code unit of `text` has a byte in this code page.
  bool represents(std::u16string_view text) const;

  // What a Windows conversion without best fit stores for a code unit the
  // code page lacks.
  static constexpr uint8_t default_byte = '?';

  // The ANSI code page Windows gives a locale (LCID), as the code page of
  // the text sorted in that locale's order: 1252 for "General" (1033).
  static unsigned ansi_code_page_of(uint32_t lcid);

  explicit code_page_table(unsigned code_page);  // use find()

 private:
  static constexpr uint16_t none = 0xffff;
  unsigned code_page_;
  bool ascii_ = true;  // bytes below 0x80 are ASCII
  char16_t to_unicode_[256];
  std::vector<uint16_t> from_unicode_;  // per code unit: its byte, or none
};

}  // namespace platform
