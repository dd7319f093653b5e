#pragma once
// The value layer's own failures. Both are of level 0: the record (or the
// default value) that met them fails, the run goes on.
#include "TK/tk_excep.h"

// Text cannot be parsed into the requested type.
class ole_type_exception : public tk_exception {
 public:
  ole_type_exception();
};

// A value cannot be changed to the requested type.
class ole_cast_exception : public tk_exception {
 public:
  ole_cast_exception();
};
