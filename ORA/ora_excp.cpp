#include "ORA/ora_excp.h"

#include "TK/tk_trace.h"

ora_exception::ora_exception(int oracle_number, const std::string& text)
    : tk_exception(text, code_base | (static_cast<uint32_t>(oracle_number) & 0xFFFFu), 0),
      oracle_number_(oracle_number) {
  trace(1, "ora_exception(%d): %s", oracle_number, text.c_str());
}
