// The engine's reader over arbitrary bytes: open read-only, then everything
// jetutil dump and check read: header, catalog, each table's definition,
// properties, rows and long values, and the index pages checked against the
// rows. A damaged file must end in a jet_error; anything else escaping, a
// crash or a sanitizer report is a fault.
#include <cstdint>
#include <ostream>

#include "jet/database/database.h"
#include "jet/format/error.h"
#include "jet/tool/check.h"
#include "jet/tool/dump.h"
#include "scratch_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz_scratch_folder folder;
  static const std::string path = folder.file("input.mdb");
  folder.write(path, data, size);
  try {
    jet_database db(path, true);
    std::ostream discard(nullptr);  // the text is not the point, reading every value is
    jet_dump_json(db, discard, jet_dump_options{});
    jet_check_database(db);
  } catch (const jet_error&) {
  }
  return 0;
}
