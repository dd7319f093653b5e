#include "UDB/udb_idx.h"

#include "TK/tk_excep.h"
#include "TK/tk_trace.h"
#include "platform/collate.h"

const udb_index* udb_indexes::find(const std::u16string& name) const {
  for (const udb_index& index : indexes_) {
    if (platform::equal_ignore_case(index.name, name)) return &index;
  }
  return nullptr;
}

const udb_index& udb_indexes::get_index(const std::u16string& name) const {
  trace(1, u"udb_indexes::get_index(%s)", name.c_str());
  const udb_index* index = find(name);
  TK_CHECK(index != nullptr, "udb_idx");
  return *index;
}

udb_index& udb_indexes::get_index(const std::u16string& name) {
  return const_cast<udb_index&>(static_cast<const udb_indexes*>(this)->get_index(name));
}

bool udb_indexes::is_acceptable_name(const std::u16string& name) const {
  trace(1, u"udb_indexes::is_acceptable_name(%s)", name.c_str());
  return find(name) == nullptr;
}

const udb_index& udb_indexes::operator[](size_t i) const {
  TK_CHECK(i < indexes_.size(), "udb_idx");
  return indexes_[i];
}
