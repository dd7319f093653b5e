#pragma once
// t_names_map: the source column names that were replaced in the destination,
// with their new names, so that index fields follow their columns. Source
// names are matched ignoring case.
#include <string>
#include <utility>
#include <vector>

class t_names_map {
 public:
  void add(const std::u16string& source_name, const std::u16string& destination_name);
  // The destination name of a source name; the name itself when it was kept.
  std::u16string get_mapped_name(const std::u16string& name) const;
  size_t size() const { return pairs_.size(); }

 private:
  std::vector<std::pair<std::u16string, std::u16string>> pairs_;  // in the order added
};
