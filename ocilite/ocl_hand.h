#pragma once
// The OCI handles and descriptors ocilite hands out. Every one is kept in a
// process-wide registry, so a pointer the caller passes in is checked before
// use: an unknown or already freed handle gives OCI_INVALID_HANDLE, never a
// crash. Handles still alive when the library is unloaded are freed then.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ORA/ora_oci.h"
#include "ocilite/ocl_exec.h"
#include "ocilite/ocl_sess.h"

namespace ocl {

struct env_handle;

struct handle {
  ub4 type = 0;
  env_handle* env = nullptr;
  virtual ~handle() = default;
};

struct env_handle : handle {
  bool utf16 = false;
};

struct error_handle : handle {
  oracle_error error;
  bool has_error = false;
};

struct server_handle : handle {
  bool attached = false;
};

struct session_handle : handle {};

struct svc_handle : handle {
  handle* server = nullptr;
  std::shared_ptr<session> db;  // set by a logon
};

struct stmt_handle;

struct define_handle : handle {
  stmt_handle* owner = nullptr;
  ub4 position = 0;
  void* valuep = nullptr;
  sb4 value_sz = 0;
  ub2 dty = 0;
  void* indp = nullptr;
  ub2* rlenp = nullptr;
  ub2* rcodep = nullptr;
  // The LOB locator last filled into each row slot of this define, while no
  // handle was freed since lob_freed.
  struct lob_slot {
    const void* address = nullptr;
    handle* lob = nullptr;
  };
  std::vector<lob_slot> lobs;
  uint64_t lob_freed = 0;
};

struct param_handle : handle {
  column_desc column;
  std::string name_bytes;  // the name in the environment's character set
};

struct stmt_handle : handle {
  std::string sql;  // UTF-8
  bool prepared = false;
  bool executed = false;
  std::shared_ptr<session> db;   // keeps the schema open while the cursor lives
  std::unique_ptr<cursor> rows;  // declared after db: destroyed first
  std::vector<define_handle*> defines;
  std::vector<param_handle*> params;
  ub4 rows_fetched = 0;
  ub2 statement_type = 0;
  std::string text;     // a fetched value's text, its room kept from value to value
  std::u16string wide;  // the same in UTF-16
};

struct lob_handle : handle {
  bool filled = false;
  bool character = false;  // CLOB/NCLOB: text in UTF-16 code units; else bytes
  ub1 form = 0;            // SQLCS_IMPLICIT, SQLCS_NCHAR or 0 for BLOB
  std::u16string text;
  std::string bytes;
  bool polling = false;    // a streamed read is under way
  size_t next = 0;         // position of the next piece (units or bytes)
  size_t stop = 0;         // end of the streamed read
};

// Registry operations; find answers nullptr for a pointer that is not a live
// handle of the wanted type (0 accepts any type).
handle* add_handle(std::unique_ptr<handle> h);
handle* find_handle(const void* p, ub4 type);
void free_handle(handle* h);  // frees the handles it owns too

// How many handles have been freed so far; a handle found earlier is still
// live while this has not changed.
uint64_t handles_freed();

template <typename T>
T* find(const void* p, ub4 type) {
  return static_cast<T*>(find_handle(p, type));
}

// Text crossing the interface: UTF-16 in a UTF-16 environment, else UTF-8.
std::string text_in(const env_handle* env, const void* data, ub4 length_bytes);
std::string text_out(const env_handle* env, const std::string& utf8);
size_t terminator_size(const env_handle* env);

// Records an error on the error handle (when there is one) and answers OCI_ERROR.
sword fail(error_handle* err, const oracle_error& error);
sword fail(error_handle* err, int number, const std::string& argument = std::string());
void clear(error_handle* err);
// An unexpected failure inside a call (out of memory, ...): ORA-00600 on the
// error handle, OCI_ERROR to the caller; no exception crosses the C interface.
sword internal_failure(OCIError* errhp);

// Fills one row slot of a define from the cursor's current row; answers
// OCI_SUCCESS, OCI_SUCCESS_WITH_INFO (truncated), or OCI_ERROR with error set.
sword put_value(const env_handle* env, const column_desc& column, sqlite3_stmt* row, int index,
                define_handle& define, ub4 slot, oracle_error& error);

}  // namespace ocl
