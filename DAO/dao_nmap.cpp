#include "DAO/dao_nmap.h"

#include "TK/tk_trace.h"
#include "platform/collate.h"

void t_names_map::add(const std::u16string& source_name, const std::u16string& destination_name) {
  trace(1, u"t_names_map::add(%s,%s)", source_name.c_str(), destination_name.c_str());
  pairs_.emplace_back(source_name, destination_name);
}

std::u16string t_names_map::get_mapped_name(const std::u16string& name) const {
  trace(1, u"t_names_map::get_mapped_name(%s)", name.c_str());
  for (const auto& [source, destination] : pairs_) {
    if (platform::equal_ignore_case(source, name)) {
      trace(1, u"Got mapped name: %s", destination.c_str());
      return destination;
    }
  }
  return name;
}
