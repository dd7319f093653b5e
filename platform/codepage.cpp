#include "platform/codepage.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace platform {
namespace {

std::u16string decode_utf8(std::string_view in) {
  std::u16string out;
  out.reserve(in.size());
  size_t i = 0;
  while (i < in.size()) {
    unsigned char c = static_cast<unsigned char>(in[i]);
    char32_t cp;
    size_t len;
    if (c < 0x80) { cp = c; len = 1; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; len = 2; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; len = 3; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; len = 4; }
    else { out.push_back(0xFFFD); ++i; continue; }
    if (i + len > in.size()) { out.push_back(0xFFFD); break; }
    bool ok = true;
    for (size_t k = 1; k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(in[i + k]);
      if ((cc & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (cc & 0x3F);
    }
    // Reject overlong forms, surrogates and values past the Unicode range.
    static const char32_t min_for_len[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!ok || cp < min_for_len[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string encode_utf8(std::u16string_view in) {
  std::string out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    char32_t cp = in[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // lone surrogate
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

bool is_utf8_charset(const std::string& name) {
  return strcasecmp(name.c_str(), "UTF-8") == 0 || strcasecmp(name.c_str(), "UTF8") == 0;
}

// Owns one iconv descriptor for the lifetime of a conversion.
class iconv_handle {
 public:
  iconv_handle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~iconv_handle() { if (valid()) iconv_close(cd_); }
  iconv_handle(const iconv_handle&) = delete;
  iconv_handle& operator=(const iconv_handle&) = delete;
  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }
 private:
  iconv_t cd_;
};

}  // namespace

std::string ansi_charset() {
  const char* name = nl_langinfo(CODESET);
  // glibc calls the C locale's set ANSI_X3.4-1968; we treat it as UTF-8.
  if (!name || !*name || strcmp(name, "ANSI_X3.4-1968") == 0) return "UTF-8";
  return name;
}

std::u16string utf8_to_utf16(std::string_view text) { return decode_utf8(text); }
std::string utf16_to_utf8(std::u16string_view text) { return encode_utf8(text); }

std::u16string ansi_to_utf16(std::string_view text) {
  if (text.empty()) return {};
  std::string charset = ansi_charset();
  if (is_utf8_charset(charset)) return decode_utf8(text);
  // Through UTF-8, so that surrogate pairs and substitutions stay in one place.
  iconv_handle cd("UTF-8", charset.c_str());
  if (!cd.valid()) return decode_utf8(text);
  std::string out;
  std::vector<char> buf(text.size() * 4 + 16);
  char* in_ptr = const_cast<char*>(text.data());
  size_t in_left = text.size();
  while (in_left > 0) {
    char* out_ptr = buf.data();
    size_t out_left = buf.size();
    size_t rc = iconv(cd.get(), &in_ptr, &in_left, &out_ptr, &out_left);
    out.append(buf.data(), out_ptr);
    if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
      out += "\xEF\xBF\xBD";  // invalid byte: replacement character
      ++in_ptr;
      --in_left;
    }
  }
  return decode_utf8(out);
}

std::string utf16_to_ansi(std::u16string_view text) {
  if (text.empty()) return {};
  std::string charset = ansi_charset();
  std::string utf8 = encode_utf8(text);
  if (is_utf8_charset(charset)) return utf8;
  iconv_handle cd(charset.c_str(), "UTF-8");
  if (!cd.valid()) return utf8;
  std::string out;
  std::vector<char> buf(utf8.size() * 2 + 16);
  char* in_ptr = utf8.data();
  size_t in_left = utf8.size();
  while (in_left > 0) {
    char* out_ptr = buf.data();
    size_t out_left = buf.size();
    size_t rc = iconv(cd.get(), &in_ptr, &in_left, &out_ptr, &out_left);
    out.append(buf.data(), out_ptr);
    if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
      // Not representable: substitute '?' for the whole UTF-8 sequence.
      out.push_back('?');
      unsigned char lead = static_cast<unsigned char>(*in_ptr);
      size_t skip = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
      if (skip > in_left) skip = in_left;
      in_ptr += skip;
      in_left -= skip;
    }
  }
  return out;
}

}  // namespace platform
