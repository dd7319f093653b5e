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

// Copies units while they lie in lowest..highest (highest below 0x100), one
// byte each, to `out`; returns how many. Eight at a time where SSE2 is there
// (every x86-64).
size_t pack_units(const char16_t* units, size_t count, char16_t lowest, char16_t highest, uint8_t* out) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i low = _mm_set1_epi16(short(lowest)), span = _mm_set1_epi16(short(highest - lowest));
  const __m128i zero = _mm_setzero_si128();
  for (; i + 8 <= count; i += 8) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
    // unit - lowest is at most the span just for units in the range (below it wraps high).
    const __m128i over = _mm_subs_epu16(_mm_sub_epi16(block, low), span);
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(over, zero)) != 0xffff) break;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(block, block));
  }
#endif
  for (; i < count && char16_t(units[i] - lowest) <= char16_t(highest - lowest); ++i) out[i] = uint8_t(units[i]);
  return i;
}

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
    if (pack_units(text.data(), text.size(), 1, 0xff, out.data() + 2) == text.size()) return;
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
  // ASCII, which most text is, stands for itself in the code pages that keep it.
  const size_t plain = code_page_keeps_ascii ? pack_units(text.data(), text.size(), 0, 0x7f, out.data()) : 0;
  for (size_t i = plain; i < text.size(); ++i) {
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
