#include "UDB/udb_vali.h"

#include <algorithm>

#include "TK/tk_excep.h"
#include "TK/tk_trace.h"
#include "platform/collate.h"

udb_validator::udb_validator(uint32_t max_length) : max_length_(max_length) {
  trace(2, "udb_validator::ctor");
}

bool udb_validator::is_acceptable(const std::u16string& name) {
  trace(1, u"udb_validator::is_acceptable(%s)", name.c_str());
  if (max_length_ != 0 && name.size() > max_length_) {
    trace(1, "The name is too long");
    return false;
  }
  for (const std::u16string& restricted : restricted_names_) {
    if (platform::equal_ignore_case(name, restricted)) {
      trace(1, "The name is restricted");
      return false;
    }
  }
  for (char16_t illegal : illegal_chars_) {
    if (name.find(illegal) != std::u16string::npos) {
      trace(1, u"The name contains illegal: %c", static_cast<int>(illegal));
      return false;
    }
  }
  return true;
}

bool udb_validator::is_duplicated(const std::u16string& name) {
  trace(1, u"udb_validator::is_duplicated(%s)", name.c_str());
  for (const std::u16string& used : names_in_use_) {
    trace(1, u"Processing %s", used.c_str());
    if (platform::equal_ignore_case(name, used)) return true;
  }
  return false;
}

std::u16string udb_validator::get_safe_name(const std::u16string& name) {
  trace(1, u"udb_validator::get_safe_name(%s)", name.c_str());
  std::u16string result = name;
  if (max_length_ != 0 && result.size() > max_length_) result.resize(max_length_ - 1);
  for (char16_t illegal : illegal_chars_) std::replace(result.begin(), result.end(), illegal, u'_');
  if (is_acceptable(result) && !is_duplicated(result)) return result;

  // Room for the five digits. With a limit below six there is none for the
  // name itself: the base is then empty rather than cut at a negative length.
  std::u16string base = result;
  if (max_length_ != 0 && base.size() + 5 > max_length_) {
    base.resize(max_length_ > 6 ? max_length_ - 6 : 0);
  }
  // The base followed by n in five digits with leading zeros ("%s%05d").
  std::u16string candidate = base + u"00000";
  for (unsigned n = 0; n <= max_serial_number; ++n) {
    for (unsigned k = n, i = 0; i < 5; ++i, k /= 10) candidate[candidate.size() - 1 - i] = char16_t(u'0' + k % 10);
    if (is_acceptable(candidate) && !is_duplicated(candidate)) return candidate;
  }
  throw tk_mail_assertion("udb_vali", __LINE__);
}

void udb_validator::add_mapped_pair(const std::u16string& source_name, const std::u16string& used_name) {
  trace(1, u"udb_validator::add_mapped_pair(%s,%s)", source_name.c_str(), used_name.c_str());
  mapped_pairs_.insert_or_assign(source_name, used_name);
}
