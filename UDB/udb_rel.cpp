#include "UDB/udb_rel.h"

#include "TK/tk_excep.h"
#include "TK/tk_trace.h"
#include "platform/collate.h"

udb_relationship& udb_relationships::add(const udb_relationship& relationship) {
  trace(1, u"udb_relationships::add(%s)", relationship.name.c_str());
  relationships_.push_back(relationship);
  return relationships_.back();
}

const udb_relationship* udb_relationships::find(const std::u16string& name) const {
  for (const udb_relationship& relationship : relationships_) {
    if (platform::equal_ignore_case(relationship.name, name)) return &relationship;
  }
  return nullptr;
}

const udb_relationship& udb_relationships::get_index(const std::u16string& name) const {
  trace(1, u"udb_relationships::get_index(%s)", name.c_str());
  const udb_relationship* relationship = find(name);
  TK_CHECK(relationship != nullptr, "udb_rel");
  return *relationship;
}

udb_relationship& udb_relationships::get_index(const std::u16string& name) {
  return const_cast<udb_relationship&>(static_cast<const udb_relationships*>(this)->get_index(name));
}

bool udb_relationships::is_acceptable_name(const std::u16string& name) const {
  trace(1, u"udb_relationships::is_acceptable_name(%s)", name.c_str());
  return find(name) == nullptr;
}

std::u16string udb_relationships::gen_relship_name(const udb_relationship& relationship) const {
  trace(1, u"udb_relationships::gen_relship_name(%s)", relationship.name.c_str());
  // Pieces appended one at a time, the six of them over and over; each turn
  // makes the name longer, so the search ends.
  static const char16_t* const pieces[] = {u"_", u"1", u"_", u"2", u"_", u"3"};
  std::u16string name = u"FK_" + relationship.foreign_table + u"_" + relationship.primary_table;
  for (size_t turn = 0; !is_acceptable_name(name); ++turn) {
    trace(2, u"%s is not acceptable as a FK name", name.c_str());
    name += pieces[turn % 6];
  }
  return name;
}

const udb_relationship& udb_relationships::operator[](size_t i) const {
  TK_CHECK(i < relationships_.size(), "udb_rel");
  return relationships_[i];
}
