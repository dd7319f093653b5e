#pragma once
// An error reported by the Oracle server or client. Oracle errors have their
// own range of the system's error codes: 0x100000 | the ORA- number, so that
// the error-text map can give friendly texts for the common ones.
#include <string>

#include "TK/tk_excep.h"

class ora_exception : public tk_exception {
 public:
  static constexpr uint32_t code_base = 0x100000;

  // The text is Oracle's own message ("ORA-nnnnn: ..."). Level 0: the item at
  // hand fails; the caller decides whether more can be done.
  ora_exception(int oracle_number, const std::string& text);

  int oracle_number() const { return oracle_number_; }

 private:
  int oracle_number_;
};
