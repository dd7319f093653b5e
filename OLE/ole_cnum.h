#pragma once
// Numbers read and written the way the value layer's texts expect them: always
// with "." as the decimal point, whatever locale the process has switched to.
#include <cstdint>
#include <string>

// The C library's atof, read under the "C" locale.
double ole_c_atof(const char* text);

// printf-style formatting under the "C" locale.
std::string ole_c_format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Truncation toward zero as the x86 conversion instructions do it: a value out
// of range (or not a number) gives the "integer indefinite", the lowest value.
int32_t ole_truncate_to_int32(double value);
int64_t ole_truncate_to_int64(double value);
