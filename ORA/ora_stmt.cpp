#include "ORA/ora_stmt.h"

#include "ORA/ora_engi.h"

ora_stmt::ora_stmt() {
  ora_engine::check_status(ora_engine::oci().handle_alloc(
      ora_engine::environment(), reinterpret_cast<void**>(&handle_), OCI_HTYPE_STMT, 0, nullptr));
}

ora_stmt::~ora_stmt() {
  // Without the engine the environment is gone, and the handle with it.
  if (handle_ && ora_engine::instance()) ora_engine::oci().handle_free(handle_, OCI_HTYPE_STMT);
}

sword ora_stmt::prepare(const std::u16string& text) {
  return ora_engine::check_status(ora_engine::oci().stmt_prepare(
      handle_, ora_engine::error_handle(), reinterpret_cast<const OraText*>(text.c_str()),
      static_cast<ub4>(text.size() * 2), OCI_NTV_SYNTAX, OCI_DEFAULT));
}

sword ora_stmt::execute(ub4 iterations, ub4 mode) {
  return ora_engine::check_status(ora_engine::oci().stmt_execute(ora_engine::service_context(), handle_,
                                                                 ora_engine::error_handle(), iterations, 0,
                                                                 nullptr, nullptr, mode));
}

sword ora_stmt::fetch(ub4 rows) {
  return ora_engine::check_status(
      ora_engine::oci().stmt_fetch(handle_, ora_engine::error_handle(), rows, OCI_FETCH_NEXT, OCI_DEFAULT));
}

ub4 ora_stmt::rows_fetched() const {
  ub4 count = 0;
  ora_engine::check_status(ora_engine::oci().attr_get(handle_, OCI_HTYPE_STMT, &count, nullptr,
                                                      OCI_ATTR_ROWS_FETCHED, ora_engine::error_handle()));
  return count;
}

bool ora_stmt::select_int(const std::u16string& text, int32_t& value) {
  value = 0;
  prepare(text);
  OCIDefine* define = nullptr;
  ora_engine::check_status(ora_engine::oci().define_by_pos(handle_, &define, ora_engine::error_handle(), 1,
                                                           &value, sizeof value, SQLT_INT, nullptr, nullptr,
                                                           nullptr, OCI_DEFAULT));
  return execute(1) != OCI_NO_DATA;
}
