#pragma once
// NEXTVAL and CURRVAL of ocilite's sequences, as the SQLite functions
// OCILITE_NEXTVAL('NAME') and OCILITE_CURRVAL('NAME') the translator writes.
#include <sqlite3.h>

namespace ocl {

void register_sequence_functions(sqlite3* db);

}  // namespace ocl
