#pragma once
// Numbers read and written the way the value layer's texts expect them: always
// with "." as the decimal point, whatever locale the process has switched to.
#include <string>

// The C library's atof, read under the "C" locale.
double ole_c_atof(const char* text);

// printf-style formatting under the "C" locale.
std::string ole_c_format(const char* format, ...) __attribute__((format(printf, 1, 2)));
