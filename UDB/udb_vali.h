#pragma once
// The base of every name validator: decides whether a name is acceptable to a
// destination and makes a safe name from one that is not (illegal characters
// replaced, cut to length, numbered with five digits when still refused or
// already used). Derived validators fill the illegal characters and restricted
// names and may add rules by overriding is_acceptable. All name comparisons
// ignore case (platform::equal_ignore_case).
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class udb_validator {
 public:
  explicit udb_validator(uint32_t max_length);  // 0: no length limit
  virtual ~udb_validator() = default;

  virtual bool is_acceptable(const std::u16string& name);
  virtual bool is_duplicated(const std::u16string& name);
  // A name that is acceptable and not a duplicate. It is not registered:
  // callers add it to the names in use or the restricted names themselves.
  virtual std::u16string get_safe_name(const std::u16string& name);

  // Records the name used for a source name; a later pair for the same source
  // name replaces the earlier one.
  void add_mapped_pair(const std::u16string& source_name, const std::u16string& used_name);
  void add_restricted_name(const std::u16string& name) { restricted_names_.push_back(name); }
  void add_name_in_use(const std::u16string& name) { names_in_use_.push_back(name); }

  uint32_t max_length() const { return max_length_; }
  const std::map<std::u16string, std::u16string>& mapped_pairs() const { return mapped_pairs_; }
  const std::vector<char16_t>& illegal_chars() const { return illegal_chars_; }
  const std::vector<std::u16string>& restricted_names() const { return restricted_names_; }
  const std::vector<std::u16string>& names_in_use() const { return names_in_use_; }

  static constexpr unsigned max_serial_number = 99999;  // the largest five-digit suffix

 protected:
  uint32_t max_length_;
  std::map<std::u16string, std::u16string> mapped_pairs_;  // source name -> used name
  std::vector<char16_t> illegal_chars_;
  std::vector<std::u16string> restricted_names_;  // refused, ignoring case
  std::vector<std::u16string> names_in_use_;      // duplicates, ignoring case
};
