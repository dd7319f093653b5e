#pragma once
// Text helpers: conversions between UTF-16 (the system's wide text), UTF-8 and
// the ANSI code page; trimming; upper-casing; printf-style wide formatting.
#include <cstdarg>
#include <string>
#include <string_view>

std::string tk_to_utf8(std::u16string_view text);
std::u16string tk_from_utf8(std::string_view text);
std::string tk_to_ansi(std::u16string_view text);
std::u16string tk_from_ansi(std::string_view text);
// Whether every byte of the text reads as a character of the ANSI code page:
// tk_from_ansi would otherwise put a substitute in the place of the others.
bool tk_is_valid_ansi(std::string_view text);

// Overwrites the whole buffer (capacity, not only size) and empties the
// text, so that a secret does not outlive its use in freed memory.
void tk_wipe(std::string& text);
void tk_wipe(std::u16string& text);

// Remove the space character (not tabs) at the start, the end, or both.
std::u16string tk_trim_left(std::u16string_view text);
std::u16string tk_trim_right(std::u16string_view text);
std::u16string tk_trim(std::u16string_view text);
std::string tk_trim(std::string_view text);

namespace tk_wstring {
std::u16string to_upper(std::u16string_view text);
}

// printf-style formatting of wide text, with the Windows meaning of the
// conversions: %s takes const char16_t*, %S takes const char*; %c a char16_t
// promoted to int; numbers as in printf (%d %i %u %x %X %o %e %f %g, with
// flags, width, precision and the h, l, ll, z length modifiers).
std::u16string tk_wformat(const char16_t* format, ...);
std::u16string tk_vwformat(const char16_t* format, va_list args);
