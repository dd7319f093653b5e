#pragma once
// Shared checks of the value layer's tests.
#include <gtest/gtest.h>

#include <string>

#include "TK/tk_excep.h"

// Runs body and expects an internal error raised from the named source file:
// the assertion's code is the hexadecimal of "source\line".
template <class Body>
::testing::AssertionResult raises_assertion_from(const char* source, Body body) {
  std::string prefix;
  for (const char* p = source; *p; ++p) {
    static const char digits[] = "0123456789abcdef";
    prefix += digits[static_cast<unsigned char>(*p) >> 4];
    prefix += digits[static_cast<unsigned char>(*p) & 15];
  }
  prefix += "5c";  // the backslash between file and line
  try {
    body();
  } catch (const tk_mail_assertion& e) {
    if (e.text().find("code=" + prefix) == std::string::npos)
      return ::testing::AssertionFailure() << "assertion from elsewhere: " << e.text();
    return ::testing::AssertionSuccess();
  } catch (const std::exception& e) {
    return ::testing::AssertionFailure() << "other exception: " << e.what();
  }
  return ::testing::AssertionFailure() << "nothing raised";
}
