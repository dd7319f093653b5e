#pragma once
// Decodes an internal error's location code back to "file\line", as support
// staff do, so that tests can check which source file raised it.
#include <string>

#include "TK/tk_excep.h"

inline std::string decoded_location(const tk_exception& e) {
  const std::string prefix = "Internal error: \ncode=";
  if (e.text().compare(0, prefix.size(), prefix) != 0) return "(not an internal error)";
  std::string hex = e.text().substr(prefix.size()), out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

// The source file named by an internal error ("tk_fname" of "tk_fname\42").
inline std::string assertion_file(const tk_exception& e) {
  std::string location = decoded_location(e);
  return location.substr(0, location.rfind('\\'));
}
