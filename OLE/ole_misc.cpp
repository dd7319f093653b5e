#include "OLE/ole_misc.h"

#include "TK/tk_trace.h"

bool ole_is_quoted_type(VARTYPE type) { return type == VT_BSTR || type == VT_DATE; }

bool ole_is_binary_type(VARTYPE type) {
  return type == VT_BLOB || type == VT_BLOB_OBJECT || type == (VT_ARRAY | VT_UI1);
}

namespace {
constexpr size_t kShortestWithGuid = 45;
constexpr size_t kBracedGuidLength = 38;
}  // namespace

ole_guid_extractor::ole_guid_extractor(const std::u16string& text) : text_(text) {
  trace(1, u"ole_guid_extractor::ctor(%s)", text.c_str());
  if (text_.size() < kShortestWithGuid) return;
  size_t lower = text_.find(u"guid");
  size_t upper = text_.find(u"GUID");
  trace(1, "Locating 'guid' (%d : %d)", static_cast<int>(lower), static_cast<int>(upper));
  size_t word = lower != std::u16string::npos ? lower : upper;
  if (word == std::u16string::npos) return;
  size_t brace = text_.find(u'{', word + 4);
  // A brace too near the end to hold a whole GUID holds none.
  if (brace != std::u16string::npos && brace + kBracedGuidLength <= text_.size()) brace_ = brace;
}

std::u16string ole_guid_extractor::get_guid() const {
  if (!has_guid()) return std::u16string();
  return text_.substr(brace_, kBracedGuidLength);
}

std::u16string ole_guid_extractor::get_guid_digits() const {
  if (!has_guid()) return std::u16string();
  static const struct { size_t offset, length; } groups[] = {{1, 8}, {10, 4}, {15, 4}, {20, 4}, {25, 12}};
  std::u16string digits;
  for (const auto& g : groups) digits += text_.substr(brace_ + g.offset, g.length);
  return digits;
}
