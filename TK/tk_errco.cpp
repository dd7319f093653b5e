#include "TK/tk_errco.h"

#include "TK/tk_excep.h"
#include "TK/tk_trace.h"

tk_error_converter::tk_error_converter(int count, const tk_error_entry* table) {
  trace(1, "tk_error_converter::ctor (map size=%d)", count);
  load_map(count, table);
}

void tk_error_converter::load_map(int count, const tk_error_entry* table) {
  trace(1, "tk_error_converter::load_map (map size=%d)", count);
  TK_CHECK(table != nullptr, "tk_errco");
  for (int i = 0; i < count; ++i)
    map_.emplace(table[i].code, table[i].text ? table[i].text : "");  // emplace keeps the first
}

std::string tk_error_converter::convert(uint32_t code) const {
  trace(2, "tk_error_converter::convert(%d)", static_cast<int>(code));
  auto found = map_.find(code);
  if (found != map_.end()) return found->second;
  trace(1, "Error message not found!");
  return std::string();
}
