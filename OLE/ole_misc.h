#pragma once
// Small helpers of the value layer.
#include <string>

#include "TK/tk_excep.h"
#include "platform/oleauto.h"

// Types whose default values are written as quoted text: VT_BSTR and VT_DATE.
bool ole_is_quoted_type(VARTYPE type);
// Types that carry binary values: VT_BLOB, VT_BLOB_OBJECT and VT_ARRAY|VT_UI1.
bool ole_is_binary_type(VARTYPE type);

// The reference count of a COM interface, learnt by one AddRef/Release pair.
// A null pointer is an internal error.
template <class Interface>
unsigned long ole_check_com_ptr(Interface* pointer) {
  TK_CHECK(pointer != nullptr, "ole_misc");
  pointer->AddRef();
  return pointer->Release();
}

// Finds a GUID written in braces after the word "guid" (or "GUID") in a text,
// as in "... guid = {01234567-89AB-CDEF-0123-456789ABCDEF} ...".
class ole_guid_extractor {
 public:
  explicit ole_guid_extractor(const std::u16string& text);

  bool has_guid() const { return brace_ != std::u16string::npos; }
  // The 38 characters from the opening brace to the closing one; empty without a GUID.
  std::u16string get_guid() const;
  // The 32 hexadecimal digits without braces and dashes; empty without a GUID.
  std::u16string get_guid_digits() const;

 private:
  std::u16string text_;
  size_t brace_ = std::u16string::npos;  // position of "{" in text_
};
