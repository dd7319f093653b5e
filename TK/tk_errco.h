#pragma once
// The error-text map: code -> friendly narrow text. A code that is already
// present keeps its first text.
#include <cstdint>
#include <map>
#include <string>

struct tk_error_entry {
  uint32_t code;
  const char* text;
};

class tk_error_converter {
 public:
  // The table must stay readable only during the call; texts are copied.
  tk_error_converter(int count, const tk_error_entry* table);

  // A null table is an internal error naming tk_errco.
  void load_map(int count, const tk_error_entry* table);
  // The text for the code, or the empty text when there is none.
  std::string convert(uint32_t code) const;
  size_t size() const { return map_.size(); }

 private:
  std::map<uint32_t, std::string> map_;
};
