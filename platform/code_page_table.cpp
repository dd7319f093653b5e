#include "platform/code_page_table.h"

#include <iconv.h>

#include <map>
#include <mutex>
#include <string>

namespace platform {
namespace {

// The single-byte code pages Windows has and iconv names as "CPnnnn".
bool is_single_byte(unsigned code_page) {
  switch (code_page) {
    case 437: case 737: case 775: case 850: case 852: case 855: case 857: case 860: case 861:
    case 862: case 863: case 864: case 865: case 866: case 869: case 874:
    case 1250: case 1251: case 1252: case 1253: case 1254: case 1255: case 1256: case 1257: case 1258:
      return true;
    default:
      return false;
  }
}

// One byte through iconv; false when iconv has no character for it.
bool decode_byte(iconv_t cd, uint8_t byte, char16_t& unit) {
  char in[1] = {char(byte)};
  char out[8];
  char* in_ptr = in;
  size_t in_left = 1;
  char* out_ptr = out;
  size_t out_left = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == size_t(-1)) return false;
  if (sizeof out - out_left != 2) return false;
  unit = char16_t(uint8_t(out[0]) | uint8_t(out[1]) << 8);
  return true;
}

}  // namespace

code_page_table::code_page_table(unsigned code_page) : code_page_(code_page), from_unicode_(0x10000, none) {
  const std::string name = "CP" + std::to_string(code_page);
  iconv_t cd = iconv_open("UTF-16LE", name.c_str());
  for (unsigned byte = 0; byte < 256; ++byte) {
    char16_t unit = char16_t(byte);
    // Bytes the code page leaves undefined stand for the C1 control of the
    // same number, as Windows' own conversions map them.
    if (cd != iconv_t(-1) && !decode_byte(cd, uint8_t(byte), unit)) unit = char16_t(byte);
    to_unicode_[byte] = unit;
    if (byte < 0x80 && unit != byte) ascii_ = false;
  }
  if (cd != iconv_t(-1)) iconv_close(cd);
  // Highest byte last, so that a character two bytes decode to is stored as the first.
  for (int byte = 255; byte >= 0; --byte) from_unicode_[to_unicode_[byte]] = uint16_t(byte);
}

const code_page_table* code_page_table::find(unsigned code_page) {
  if (!is_single_byte(code_page)) return nullptr;
  static std::mutex guard;
  static std::map<unsigned, std::unique_ptr<code_page_table>> tables;
  std::lock_guard<std::mutex> hold(guard);
  std::unique_ptr<code_page_table>& table = tables[code_page];
  if (!table) {
    // iconv must know the code page; one that decodes nothing is not usable.
    const std::string name = "CP" + std::to_string(code_page);
    iconv_t cd = iconv_open("UTF-16LE", name.c_str());
    if (cd == iconv_t(-1)) return nullptr;
    iconv_close(cd);
    table = std::make_unique<code_page_table>(code_page);
  }
  return table.get();
}

unsigned code_page_table::ansi_code_page_of(uint32_t lcid) {
  switch (lcid & 0x3ff) {  // the primary language
    case 0x01: return 1256;                                                  // Arabic
    case 0x02: case 0x19: case 0x22: case 0x23: return 1251;                 // Bulgarian, Russian, Ukrainian, Belarusian
    case 0x04: return (lcid == 0x0404 || lcid == 0x0c04) ? 950 : 936;        // Chinese
    case 0x05: case 0x0e: case 0x15: case 0x18: case 0x1a: case 0x1b: case 0x24:
      return 1250;                                                           // Central European
    case 0x08: return 1253;                                                  // Greek
    case 0x0d: return 1255;                                                  // Hebrew
    case 0x11: return 932;                                                   // Japanese
    case 0x12: return 949;                                                   // Korean
    case 0x1e: return 874;                                                   // Thai
    case 0x1f: return 1254;                                                  // Turkish
    case 0x25: case 0x26: case 0x27: return 1257;                            // Baltic
    case 0x2a: return 1258;                                                  // Vietnamese
    default: return 1252;                                                    // Western
  }
}

bool code_page_table::represents(std::u16string_view text) const {
  uint8_t byte;
  for (char16_t unit : text)
    if (!from_unicode(unit, byte)) return false;
  return true;
}

}  // namespace platform
