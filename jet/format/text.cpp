#include "jet/format/text.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "jet/format/format.h"
#include "platform/code_page_table.h"

std::u16string jet_decode_text(const uint8_t* bytes, size_t length) {
  std::u16string text;
  if (length >= 2 && bytes[0] == jet_const::text_compressed_mark0 && bytes[1] == jet_const::text_compressed_mark1) {
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

namespace {

// The compressed form's length, or 0 when the text cannot take it: a
// character whose low byte is zero would read as a switch of form.
size_t compressed_size(const std::u16string& text) {
  size_t size = 2;  // the FF FE mark
  bool narrow_run = true;
  for (char16_t c : text) {
    if ((c & 0xff) == 0) return 0;
    bool narrow = c < 0x100;
    if (narrow != narrow_run) {
      ++size;  // the 00 that switches form
      narrow_run = narrow;
    }
    size += narrow ? 1 : 2;
  }
  return size;
}

}  // namespace

size_t jet_encoded_text_size(const std::u16string& text, bool allow_compression) {
  size_t plain = text.size() * 2;
  if (!allow_compression || text.empty()) return plain;
  size_t compressed = compressed_size(text);
  return compressed != 0 && compressed < plain ? compressed : plain;
}

void jet_encode_text(const std::u16string& text, bool allow_compression, std::vector<uint8_t>& out) {
  size_t plain = text.size() * 2;
  if (allow_compression && text.size() > 2) {
    // Most text is narrow throughout: one byte a character after the mark,
    // found in one pass. Anything else takes the general way below.
    out.resize(2 + text.size());
    out[0] = jet_const::text_compressed_mark0;
    out[1] = jet_const::text_compressed_mark1;
    uint8_t* at = out.data() + 2;
    const char16_t* units = text.data();
    const size_t count = text.size();
    size_t i = 0;
#if defined(__SSE2__)
    // Eight units at a time where SSE2 is there (every x86-64): all in
    // 1..0xff, they pack into eight bytes.
    const __m128i one = _mm_set1_epi16(1), top = _mm_set1_epi16(0xfe), zero = _mm_setzero_si128();
    for (; i + 8 <= count; i += 8) {
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
      // unit - 1 is at most 0xfe just for units 1..0xff (0 wraps to 0xffff).
      const __m128i over = _mm_subs_epu16(_mm_sub_epi16(block, one), top);
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(over, zero)) != 0xffff) break;
      _mm_storel_epi64(reinterpret_cast<__m128i*>(at), _mm_packus_epi16(block, block));
      at += 8;
    }
#endif
    // Four units at a time: all four narrow (high bytes clear, none zero)
    // pack into four bytes. A block that is not stops the fast loop, and
    // the loop below decides about it unit by unit.
    for (; i + 4 <= count; i += 4) {
      uint64_t block;
      std::memcpy(&block, units + i, 8);  // the engine runs on little-endian hosts
      if ((block & 0xff00ff00ff00ff00ull) != 0 ||
          ((block - 0x0001000100010001ull) & ~block & 0x8000800080008000ull) != 0)
        break;
      block = (block | block >> 8) & 0x0000ffff0000ffffull;
      block = (block | block >> 16) & 0xffffffffull;
      const uint32_t packed = uint32_t(block);
      std::memcpy(at, &packed, 4);
      at += 4;
    }
    bool narrow = true;
    for (; i < count; ++i) {
      const char16_t c = units[i];
      if (char16_t(c - 1) >= 0xff) {  // zero, or not one byte
        narrow = false;
        break;
      }
      *at++ = uint8_t(c);
    }
    if (narrow) return;
  }
  size_t compressed = allow_compression && !text.empty() ? compressed_size(text) : 0;
  if (compressed != 0 && compressed < plain) {
    out.resize(compressed);
    uint8_t* at = out.data();
    *at++ = jet_const::text_compressed_mark0;
    *at++ = jet_const::text_compressed_mark1;
    bool narrow_run = true;
    for (char16_t c : text) {
      bool narrow = c < 0x100;
      if (narrow != narrow_run) {
        *at++ = 0;
        narrow_run = narrow;
      }
      *at++ = uint8_t(c);
      if (!narrow) *at++ = uint8_t(c >> 8);
    }
    return;
  }
  // UTF-16LE is the text's own memory on the little-endian hosts the engine runs on.
  out.resize(plain);
  if (plain) std::memcpy(out.data(), text.data(), plain);
}

std::vector<uint8_t> jet_encode_text(const std::u16string& text, bool allow_compression) {
  std::vector<uint8_t> out;
  jet_encode_text(text, allow_compression, out);
  return out;
}

std::u16string jet_format::decode_text(const uint8_t* bytes, size_t length) const {
  if (!code_page) return jet_decode_text(bytes, length);
  std::u16string text(length, u'\0');
  for (size_t i = 0; i < length; ++i) text[i] = code_page->to_unicode(bytes[i]);
  return text;
}

size_t jet_format::encode_text(const std::u16string& text, bool allow_compression, std::vector<uint8_t>& out) const {
  if (!code_page) {
    jet_encode_text(text, allow_compression, out);
    return 0;
  }
  out.resize(text.size());
  size_t missing = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!code_page->from_unicode(text[i], out[i])) {
      out[i] = platform::code_page_table::default_byte;
      ++missing;
    }
  }
  return missing;
}

std::vector<uint8_t> jet_format::encode_text(const std::u16string& text, bool allow_compression) const {
  std::vector<uint8_t> out;
  encode_text(text, allow_compression, out);
  return out;
}

size_t jet_format::encoded_text_size(const std::u16string& text, bool allow_compression) const {
  return code_page ? text.size() : jet_encoded_text_size(text, allow_compression);
}
