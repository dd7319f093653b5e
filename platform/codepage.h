#pragma once
// Code-page conversions, standing in for MultiByteToWideChar and
// WideCharToMultiByte. The ANSI code page is the character set of the
// process locale (nl_langinfo(CODESET)); under the C/POSIX locale it is UTF-8.
#include <string>
#include <string_view>

namespace platform {

// Name of the ANSI code page as iconv knows it ("UTF-8", "ISO-8859-1", ...).
std::string ansi_charset();

// Characters that cannot be represented become '?' (narrow) or U+FFFD (wide),
// as the Windows conversions substitute their default character.
std::u16string utf8_to_utf16(std::string_view text);
std::string utf16_to_utf8(std::u16string_view text);
std::u16string ansi_to_utf16(std::string_view text);
std::string utf16_to_ansi(std::u16string_view text);

}  // namespace platform
