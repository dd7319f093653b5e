#include "DAO/dao_bstr.h"

#include "TK/tk_excep.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"

dao_bstr::dao_bstr(const std::string& text) {
  trace(1, "dao_bstr::ctor( string=%s )", text.c_str());
  // The length is the widened text's: a multi-byte character widens to fewer
  // characters, and allocating the narrow length would leave trailing NULs in
  // the name DAO receives.
  const std::u16string wide = tk_from_ansi(text);
  text_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  TK_CHECK(text_ != nullptr, "dao_bstr");
}

dao_bstr::dao_bstr(const std::u16string& text) {
  trace(1, u"dao_bstr::ctor( wstring=%s )", text.c_str());
  text_ = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  TK_CHECK(text_ != nullptr, "dao_bstr");
}

dao_bstr::~dao_bstr() { SysFreeString(text_); }

dao_bstr::operator BSTR() const {
  trace(1, "dao_bstr::operator BSTR");
  return text_;
}

BSTR* dao_bstr::address() {
  SysFreeString(text_);
  text_ = nullptr;
  return &text_;
}

std::u16string dao_bstr::to_wstring() const {
  return text_ ? std::u16string(text_, SysStringLen(text_)) : std::u16string();
}
