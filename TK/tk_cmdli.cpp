#include "TK/tk_cmdli.h"

#include <cstring>

#include "TK/tk_excep.h"
#include "TK/tk_strin.h"

tk_cmdli::tk_cmdli(const tk_cmdli_option* table, int argc, const char* const* argv)
    : table_(table), cursor_(argv + 1), remaining_(argc > 0 ? argc - 1 : 0) {
  TK_CHECK(table_ != nullptr, "tk_cmdli");
  if (more()) classify(*cursor_);
}

void tk_cmdli::next() {
  TK_CHECK(more(), "tk_cmdli");
  ++cursor_;
  --remaining_;
  if (more()) classify(*cursor_);
}

int tk_cmdli::id() const {
  TK_CHECK(more(), "tk_cmdli");
  return id_;
}

const std::string& tk_cmdli::value() const {
  TK_CHECK(more(), "tk_cmdli");
  return value_;
}

void tk_cmdli::wipe_value() {
  TK_CHECK(more(), "tk_cmdli");
  tk_wipe(value_);
}

void tk_cmdli::classify(const char* argument) {
  const tk_cmdli_option* entry = table_;
  // The closing entry's empty prefix matches anything and stops the walk.
  while (std::strncmp(argument, entry->prefix, std::strlen(entry->prefix)) != 0) ++entry;
  if (*entry->prefix) {
    id_ = entry->id;
    value_ = argument + std::strlen(entry->prefix);
    return;
  }
  id_ = unmatched_id;
  value_ = argument;
  TK_CHECK(unmatched_.size() < max_unmatched, "tk_cmdli");
  unmatched_.push_back(value_);
}
