#pragma once
// Plain decimal texts ("-12.25", ".5", "42"): the shape the Oracle source's
// number columns arrive in. They are read here straight into a DECIMAL or a
// double, without the general number parser; every other text answers false
// and is left to the general parser, which gives the same value for these.
#include <string_view>

#include "platform/oleauto.h"

// [-]digits[.digits] with at least one digit, at most 28 significant digits
// and at most 28 decimals: true and the DECIMAL that VarDecFromStr makes of it.
bool ole_plain_decimal(std::string_view text, DECIMAL* out);

// [-]digits[.digits] with at least one digit: true and the double that the
// C library's strtod reads from it (both round to the nearest double).
bool ole_plain_double(std::string_view text, double* out);
