// Statements: prepare, execute (parse only, describe, or run), the column
// descriptors of a query, defines and fetch.
#include <cstring>
#include <mutex>

#include "ocilite/ocl_hand.h"

using namespace ocl;

namespace {

void drop_params(stmt_handle* stmt) {
  for (param_handle* p : stmt->params) free_handle(p);
  stmt->params.clear();
}

void make_params(stmt_handle* stmt) {
  drop_params(stmt);
  for (const column_desc& column : stmt->rows->columns()) {
    auto param = std::make_unique<param_handle>();
    param->type = OCI_DTYPE_PARAM;
    param->env = stmt->env;
    param->column = column;
    param->name_bytes = text_out(stmt->env, column.name);
    stmt->params.push_back(static_cast<param_handle*>(add_handle(std::move(param))));
  }
}

// Fetches up to nrows rows into the defines; OCI_NO_DATA when fewer came.
sword fetch_rows(stmt_handle* stmt, error_handle* err, ub4 nrows) {
  stmt->rows_fetched = 0;
  bool truncated = false;
  const auto& columns = stmt->rows->columns();
  for (define_handle* d : stmt->defines)
    if (d && d->position > columns.size()) return fail(err, 1007);
  for (ub4 slot = 0; slot < nrows; ++slot) {
    oracle_error error;
    int got = stmt->rows->next_row(error);
    if (got < 0) return fail(err, error);
    if (got == 0) return OCI_NO_DATA;
    for (define_handle* d : stmt->defines) {
      if (!d) continue;
      sword status = put_value(stmt->env, columns[d->position - 1], stmt->rows->row(),
                               (int)d->position - 1, *d, slot, error);
      if (status == OCI_ERROR) return fail(err, error);
      if (status == OCI_SUCCESS_WITH_INFO) truncated = true;
    }
    ++stmt->rows_fetched;
  }
  if (truncated) {
    fail(err, 24345);
    return OCI_SUCCESS_WITH_INFO;
  }
  return OCI_SUCCESS;
}

}  // namespace

sword OCIStmtPrepare(OCIStmt* stmtp, OCIError* errhp, const OraText* stmt_text, ub4 stmt_len,
                     ub4 language, ub4) try {
  auto* stmt = find<stmt_handle>(stmtp, OCI_HTYPE_STMT);
  auto* err = find<error_handle>(errhp, OCI_HTYPE_ERROR);
  if (!stmt || !err) return OCI_INVALID_HANDLE;
  clear(err);
  if (language != OCI_NTV_SYNTAX && language != OCI_V7_SYNTAX && language != OCI_V8_SYNTAX)
    return fail(err, 24315);
  stmt->rows.reset();
  stmt->db.reset();
  drop_params(stmt);
  stmt->executed = false;
  stmt->rows_fetched = 0;
  stmt->sql = text_in(stmt->env, stmt_text, stmt_len);
  stmt->prepared = true;
  // The statement type is known from the first word, before any execute.
  std::vector<token> tokens;
  oracle_error ignored;
  stmt->statement_type = 0;
  if (tokenize(stmt->sql, tokens, ignored) && !tokens.empty()) {
    const std::string& w = tokens[0].text;
    stmt->statement_type = w == "SELECT" || w == "WITH" ? OCI_STMT_SELECT
                           : w == "INSERT"              ? OCI_STMT_INSERT
                           : w == "UPDATE"              ? OCI_STMT_UPDATE
                           : w == "DELETE"              ? OCI_STMT_DELETE
                           : w == "CREATE"              ? OCI_STMT_CREATE
                           : w == "DROP"                ? OCI_STMT_DROP
                                                        : 0;
  }
  return OCI_SUCCESS;
} catch (...) {
  return internal_failure(errhp);
}

sword OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters, ub4,
                     const OCISnapshot*, OCISnapshot*, ub4 mode) try {
  auto* svc = find<svc_handle>(svchp, OCI_HTYPE_SVCCTX);
  auto* stmt = find<stmt_handle>(stmtp, OCI_HTYPE_STMT);
  auto* err = find<error_handle>(errhp, OCI_HTYPE_ERROR);
  if (!svc || !stmt || !err) return OCI_INVALID_HANDLE;
  clear(err);
  if (!stmt->prepared) return fail(err, 24337);
  if (!svc->db) return fail(err, 3114);
  stmt->rows.reset();  // finalized under its own connection's lock, before this one is taken
  drop_params(stmt);
  stmt->executed = false;
  stmt->rows_fetched = 0;
  std::shared_ptr<session> db = svc->db;
  std::lock_guard<std::recursive_mutex> serialized(db->lock);
  stmt->db = db;
  stmt->rows = std::make_unique<cursor>();
  oracle_error error;
  if (!stmt->rows->prepare(*stmt->db, stmt->sql, error)) return fail(err, error);
  if (mode & OCI_PARSE_ONLY) return OCI_SUCCESS;
  if (!stmt->rows->is_query() && iters == 0) return fail(err, 24333);
  if (!stmt->rows->execute(error)) return fail(err, error);
  stmt->executed = true;
  if (!stmt->rows->is_query()) return OCI_SUCCESS;
  make_params(stmt);
  if (iters == 0 || (mode & OCI_DESCRIBE_ONLY)) return OCI_SUCCESS;
  return fetch_rows(stmt, err, iters);
} catch (...) {
  return internal_failure(errhp);
}

sword OCIStmtFetch(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, ub4) try {
  auto* stmt = find<stmt_handle>(stmtp, OCI_HTYPE_STMT);
  auto* err = find<error_handle>(errhp, OCI_HTYPE_ERROR);
  if (!stmt || !err) return OCI_INVALID_HANDLE;
  clear(err);
  if (!stmt->executed || !stmt->rows || !stmt->rows->is_query()) return fail(err, 24338);
  if (orientation != OCI_FETCH_NEXT && orientation != OCI_DEFAULT) return fail(err, 1002);
  if (nrows == 0) return OCI_SUCCESS;
  std::shared_ptr<session> db = stmt->db;
  std::lock_guard<std::recursive_mutex> serialized(db->lock);
  return fetch_rows(stmt, err, nrows);
} catch (...) {
  return internal_failure(errhp);
}

sword OCIParamGet(const void* hndlp, ub4 htype, OCIError* errhp, void** parmdpp, ub4 pos) try {
  auto* stmt = find<stmt_handle>(hndlp, OCI_HTYPE_STMT);
  auto* err = find<error_handle>(errhp, OCI_HTYPE_ERROR);
  if (!stmt || htype != OCI_HTYPE_STMT || !err || !parmdpp) return OCI_INVALID_HANDLE;
  clear(err);
  if (!stmt->executed) return fail(err, 24338);
  if (pos < 1 || pos > stmt->params.size()) return fail(err, 24334);
  *parmdpp = stmt->params[pos - 1];
  return OCI_SUCCESS;
} catch (...) {
  return internal_failure(errhp);
}

sword OCIDefineByPos(OCIStmt* stmtp, OCIDefine** defnpp, OCIError* errhp, ub4 position,
                     void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* rlenp, ub2* rcodep,
                     ub4) try {
  auto* stmt = find<stmt_handle>(stmtp, OCI_HTYPE_STMT);
  auto* err = find<error_handle>(errhp, OCI_HTYPE_ERROR);
  if (!stmt || !err || !defnpp) return OCI_INVALID_HANDLE;
  clear(err);
  if (position < 1 || position > 1000) return fail(err, 1007);  // Oracle's most columns: 1000
  if (stmt->defines.size() < position) stmt->defines.resize(position, nullptr);
  define_handle* d = stmt->defines[position - 1];
  if (!d) {
    auto made = std::make_unique<define_handle>();
    made->type = OCI_HTYPE_DEFINE;
    made->env = stmt->env;
    made->owner = stmt;
    made->position = position;
    d = static_cast<define_handle*>(add_handle(std::move(made)));
    stmt->defines[position - 1] = d;
  }
  d->valuep = valuep;
  d->value_sz = value_sz;
  d->dty = dty;
  d->indp = indp;
  d->rlenp = rlenp;
  d->rcodep = rcodep;
  *defnpp = reinterpret_cast<OCIDefine*>(d);
  return OCI_SUCCESS;
} catch (...) {
  return internal_failure(errhp);
}
