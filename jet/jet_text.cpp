#include "jet/jet_text.h"

#include "jet/jet_fmt4.h"

std::u16string jet_decode_text(const uint8_t* bytes, size_t length) {
  std::u16string text;
  if (length >= 2 && bytes[0] == jet4::text_compressed_mark0 && bytes[1] == jet4::text_compressed_mark1) {
    bool compressed = true;
    size_t at = 2;
    while (at < length) {
      if (bytes[at] == 0) {
        compressed = !compressed;
        ++at;
      } else if (compressed) {
        text.push_back(char16_t(bytes[at++]));
      } else if (at + 1 < length) {
        text.push_back(char16_t(bytes[at] | bytes[at + 1] << 8));
        at += 2;
      } else {
        break;
      }
    }
    return text;
  }
  text.reserve(length / 2);
  for (size_t at = 0; at + 1 < length; at += 2) text.push_back(char16_t(bytes[at] | bytes[at + 1] << 8));
  return text;
}

std::vector<uint8_t> jet_encode_text(const std::u16string& text, bool allow_compression) {
  std::vector<uint8_t> out;
  if (allow_compression && !text.empty()) {
    bool possible = true;
    for (char16_t c : text)
      if ((c & 0xff) == 0) possible = false;
    if (possible) {
      out = {jet4::text_compressed_mark0, jet4::text_compressed_mark1};
      bool compressed = true;
      for (char16_t c : text) {
        bool narrow = c < 0x100;
        if (narrow != compressed) {
          out.push_back(0);
          compressed = narrow;
        }
        if (narrow) {
          out.push_back(uint8_t(c));
        } else {
          out.push_back(uint8_t(c));
          out.push_back(uint8_t(c >> 8));
        }
      }
      if (out.size() < text.size() * 2) return out;
      out.clear();
    }
  }
  out.reserve(text.size() * 2);
  for (char16_t c : text) {
    out.push_back(uint8_t(c));
    out.push_back(uint8_t(c >> 8));
  }
  return out;
}
