#pragma once
// dao_bstr: owns one BSTR handed to or received from DAO and frees it when
// destroyed. Built empty it offers its slot (address()) to a DAO member that
// returns a string.
#include <string>

#include "platform/oleauto.h"

class dao_bstr {
 public:
  dao_bstr() = default;
  explicit dao_bstr(const std::string& text);     // ANSI code page
  explicit dao_bstr(const std::u16string& text);
  dao_bstr(const dao_bstr&) = delete;
  dao_bstr& operator=(const dao_bstr&) = delete;
  virtual ~dao_bstr();

  operator BSTR() const;
  // Frees what is held and hands out the slot for an out-parameter.
  BSTR* address();
  // The text held; empty for a null BSTR.
  std::u16string to_wstring() const;

 private:
  BSTR text_ = nullptr;
};
