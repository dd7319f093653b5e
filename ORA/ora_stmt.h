#pragma once
// One OCI statement handle, allocated from the engine's environment and freed
// when the object goes. Every call goes through ora_engine::check_status, so
// OCI_ERROR arrives as an ora_exception and other statuses come back.
#include <cstdint>
#include <string>

#include "ORA/ora_oci.h"

class ora_stmt {
 public:
  ora_stmt();
  ~ora_stmt();
  ora_stmt(const ora_stmt&) = delete;
  ora_stmt& operator=(const ora_stmt&) = delete;

  OCIStmt* handle() const { return handle_; }

  sword prepare(const std::u16string& text);
  // iterations 0 describes a query and executes it without fetching; 1 also
  // fetches the first row into the defines.
  sword execute(ub4 iterations, ub4 mode = OCI_DEFAULT);
  // Up to rows rows into the defines' slots, OCI_FETCH_NEXT; rows_fetched
  // then tells how many came, also after an error or OCI_NO_DATA.
  sword fetch(ub4 rows = 1);
  ub4 rows_fetched() const;

  // Runs a query whose first column is a count and reads it into value.
  // False when the query gave no row.
  bool select_int(const std::u16string& text, int32_t& value);

 private:
  OCIStmt* handle_ = nullptr;
};
