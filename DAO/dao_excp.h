#pragma once
// Failures of DAO calls. dao_exception carries the text and number of the
// first error in the engine's Errors collection; its code is 0x10000 plus
// DAO's error number. When that collection cannot be read, what is raised is
// dao_unknown_exception instead, the same one a DAO call raises when it
// succeeds without handing out the object asked for.
#include <cstdint>
#include <string>

#include "OLE/ole_ptr.h"
#include "TK/tk_excep.h"
#include "platform/oleauto.h"

class dao_exception : public tk_exception {
 public:
  static constexpr uint32_t code_base = 0x10000;

  // Level 1 (the run ends) for the errors every later write would repeat:
  // a full disk (3026), a failing disk (3043), and a file at Access's size
  // limit (3001 with DAO's bare "Invalid argument."); level 0 otherwise.
  dao_exception(const std::string& description, LONG number);
  // At a level of the caller's choosing: DAO's answer to a whole-file step
  // that ends the run.
  dao_exception(const std::string& description, LONG number, int level);
  // DAO's own error number.
  LONG number() const { return static_cast<LONG>(code_ - code_base); }
  static int level_for(const std::string& description, LONG number);
};

// "Unknown exception", code 1, level 0.
class dao_unknown_exception : public tk_exception {
 public:
  dao_unknown_exception();
};

// Reads the engine's current error and raises it as a dao_exception, or a
// dao_unknown_exception when the error cannot be read. No engine is an
// internal error (tk_singl).
[[noreturn]] void throw_dao_exception();

// A failed HRESULT raises the engine's current error.
inline void dao_check(HRESULT result) {
  if (FAILED(result)) throw_dao_exception();
}

// The object a DAO call answered; a success without one is the unknown exception.
template <class T>
T* dao_require(const ole_com_ptr<T>& object) {
  if (object.is_null()) throw dao_unknown_exception();
  return object.get();
}
