// The agent's table-names file over arbitrary bytes. A refused file is a
// tk_exception; the names read must be what the file's format allows.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "TK/tk_excep.h"
#include "agent/agt_tabf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string content(reinterpret_cast<const char*>(data), size);
  try {
    for (const std::u16string& name : read_table_names(content)) {
      // Empty lines name no table, and a name never spans a line end.
      if (name.empty() || name.find(u'\n') != std::u16string::npos) std::abort();
    }
  } catch (const tk_exception&) {
  }
  return 0;
}
