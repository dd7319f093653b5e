#include "TK/tk_strin.h"

#include <cstdio>
#include <cstring>
#include <cwctype>

#include "TK/tk_trace.h"
#include "platform/codepage.h"

std::string tk_to_utf8(std::u16string_view text) { return platform::utf16_to_utf8(text); }
std::u16string tk_from_utf8(std::string_view text) { return platform::utf8_to_utf16(text); }
std::string tk_to_ansi(std::u16string_view text) { return platform::utf16_to_ansi(text); }
std::u16string tk_from_ansi(std::string_view text) { return platform::ansi_to_utf16(text); }

bool tk_is_valid_ansi(std::string_view text) {
  // A substitute never converts back to the bytes it replaced.
  return platform::utf16_to_ansi(platform::ansi_to_utf16(text)) == text;
}

void tk_wipe(std::string& text) {
  // explicit_bzero is not removed as a store to memory about to be freed.
  ::explicit_bzero(text.data(), text.capacity());
  text.clear();
}

void tk_wipe(std::u16string& text) {
  ::explicit_bzero(text.data(), text.capacity() * sizeof(char16_t));
  text.clear();
}

namespace {
template <class Char>
std::basic_string<Char> trim_spaces(std::basic_string_view<Char> text, bool left, bool right) {
  size_t begin = 0, end = text.size();
  if (left) while (begin < end && text[begin] == Char(' ')) ++begin;
  if (right) while (end > begin && text[end - 1] == Char(' ')) --end;
  if (begin == end && !text.empty()) trace(1, "Special processing for all-spaces-string");
  return std::basic_string<Char>(text.substr(begin, end - begin));
}
}  // namespace

std::u16string tk_trim_left(std::u16string_view text) { return trim_spaces(text, true, false); }
std::u16string tk_trim_right(std::u16string_view text) { return trim_spaces(text, false, true); }
std::u16string tk_trim(std::u16string_view text) { return trim_spaces(text, true, true); }
std::string tk_trim(std::string_view text) { return trim_spaces(text, true, true); }

std::u16string tk_wstring::to_upper(std::u16string_view text) {
  trace(1, u"tk_wstring::to_upper(%s)", std::u16string(text).c_str());
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;  // surrogates stay as they are
    wint_t up = std::towupper(static_cast<wint_t>(c));
    if (up <= 0xFFFF) c = static_cast<char16_t>(up);
  }
  return out;
}

std::u16string tk_wformat(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::u16string out = tk_vwformat(format, args);
  va_end(args);
  return out;
}

std::u16string tk_vwformat(const char16_t* format, va_list args) {
  std::u16string out;
  if (!format) return out;
  const char16_t* p = format;
  while (*p) {
    if (*p != u'%') { out.push_back(*p++); continue; }
    ++p;
    if (*p == u'%') { out.push_back(u'%'); ++p; continue; }
    // Collect flags, width and precision as a narrow printf conversion.
    std::string spec = "%";
    while (*p && std::u16string_view(u"-+ #0").find(*p) != std::u16string_view::npos) spec.push_back(static_cast<char>(*p++));
    if (*p == u'*') { spec += std::to_string(va_arg(args, int)); ++p; }
    while (*p >= u'0' && *p <= u'9') spec.push_back(static_cast<char>(*p++));
    int precision = -1;
    if (*p == u'.') {
      spec.push_back('.');
      ++p;
      if (*p == u'*') { precision = va_arg(args, int); spec += std::to_string(precision); ++p; }
      else {
        precision = 0;
        while (*p >= u'0' && *p <= u'9') { precision = precision * 10 + (*p - u'0'); spec.push_back(static_cast<char>(*p++)); }
      }
    }
    std::string length;
    while (*p == u'h' || *p == u'l' || *p == u'z' || *p == u'L') length.push_back(static_cast<char>(*p++));
    char16_t conv = *p ? *p++ : 0;
    char buf[512];
    switch (conv) {
      case u's': case u'S': {
        // Width and precision applied to the wide text itself.
        std::u16string arg;
        if (conv == u's') { const char16_t* s = va_arg(args, const char16_t*); arg = s ? s : u"(null)"; }
        else { const char* s = va_arg(args, const char*); arg = tk_from_ansi(s ? s : "(null)"); }
        if (precision >= 0 && arg.size() > static_cast<size_t>(precision)) arg.resize(static_cast<size_t>(precision));
        bool left = spec.find('-') != std::string::npos;
        size_t width = 0;
        for (size_t i = 1; i < spec.size() && spec[i] != '.'; ++i)
          if (spec[i] >= '0' && spec[i] <= '9') width = width * 10 + static_cast<size_t>(spec[i] - '0');
        std::u16string pad(width > arg.size() ? width - arg.size() : 0, u' ');
        out += left ? arg + pad : pad + arg;
        break;
      }
      case u'c': out.push_back(static_cast<char16_t>(va_arg(args, int))); break;
      case u'd': case u'i': case u'u': case u'x': case u'X': case u'o': {
        std::string s = spec + length + static_cast<char>(conv);
        if (length == "ll") std::snprintf(buf, sizeof buf, s.c_str(), va_arg(args, long long));
        else if (length == "l" || length == "z") std::snprintf(buf, sizeof buf, s.c_str(), va_arg(args, long));
        else std::snprintf(buf, sizeof buf, s.c_str(), va_arg(args, int));
        out += tk_from_utf8(buf);
        break;
      }
      case u'e': case u'E': case u'f': case u'F': case u'g': case u'G': {
        std::string s = spec + static_cast<char>(conv);
        std::snprintf(buf, sizeof buf, s.c_str(), va_arg(args, double));
        out += tk_from_utf8(buf);
        break;
      }
      case u'p': std::snprintf(buf, sizeof buf, "%p", va_arg(args, void*)); out += tk_from_utf8(buf); break;
      default: break;  // unknown conversion: dropped
    }
  }
  return out;
}
