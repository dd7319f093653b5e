#pragma once
// The Oracle session: one per process. It loads the client library, owns the
// OCI environment, the error handle, the server handle and the one service
// context, and turns every failed OCI call into an ora_exception. Everything
// else on the Oracle side reaches the handles through the engine.
//
// The source databases that open_db makes belong to the caller and must be
// destroyed before the engine.
#include <cstdint>
#include <memory>
#include <string>

#include "ORA/ora_oci.h"
#include "ORA/ora_ocil.h"
#include "TK/tk_singl.h"

class ora_database;

class ora_engine : public tk_singleton<ora_engine> {
 public:
  ora_engine();
  ~ora_engine();

  // Loads the client, creates the UTF-16 environment and attaches the
  // server. A missing client raises its tk_exception and leaves the engine
  // as it was, so a later open_db tries again.
  void initialize();
  bool is_initialized() const { return initialized_; }

  // Logs off any earlier session, logs on and reads the table list. A failed
  // logon is an ora_exception and leaves the engine without a session. The
  // password is not kept: the caller decides how long it lives.
  std::unique_ptr<ora_database> open_db(const std::u16string& connect_string, const std::u16string& user,
                                        const std::u16string& password);
  // The easy-connect form "//host:port/service", built verbatim.
  std::unique_ptr<ora_database> open_db(const std::u16string& host, const std::u16string& user,
                                        const std::u16string& password, const std::u16string& port,
                                        const std::u16string& service);

  // Rows of a table (its name taken as stored, between double quotes) or of
  // a query text.
  int32_t get_records_cnt(const std::u16string& name_or_query, bool is_query = false);
  // major * 65536 + minor * 256 + patch from the server banner; 0 when the
  // banner has no release number.
  uint32_t get_version();

  bool is_logged_on() const { return service_ != nullptr; }
  const std::u16string& connect_string() const { return connect_string_; }
  const std::u16string& user() const { return user_; }

  // The engine of the process; its absence is an internal error.
  static ora_engine& engine();
  // OCI_ERROR becomes an ora_exception with Oracle's number and text; every
  // other status is handed back.
  static sword check_status(sword status);

  static const ora_oci_calls& oci() { return engine().library_->calls(); }
  static OCIEnv* environment() { return engine().environment_; }
  static OCIError* error_handle() { return engine().error_; }
  static OCISvcCtx* service_context();  // internal error when not logged on

  // The banner's release number as get_version reads it.
  static uint32_t version_from_banner(const std::u16string& banner);
  // The password as the trace shows it.
  static std::u16string masked(const std::u16string& password);

 private:
  void log_off();

  bool initialized_ = false;
  std::unique_ptr<ora_oci_library> library_;
  OCIEnv* environment_ = nullptr;
  OCIError* error_ = nullptr;
  OCIServer* server_ = nullptr;
  OCISvcCtx* service_ = nullptr;
  std::u16string connect_string_;
  std::u16string user_;
};
