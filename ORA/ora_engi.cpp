#include "ORA/ora_engi.h"

#include <cstdio>
#include <vector>

#include "ORA/ora_db.h"
#include "ORA/ora_excp.h"
#include "ORA/ora_stmt.h"
#include "TK/tk_excep.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"

namespace {

const OraText* oci_text(const std::u16string& text) {
  return reinterpret_cast<const OraText*>(text.c_str());
}

ub4 byte_length(const std::u16string& text) { return static_cast<ub4>(text.size() * 2); }

}  // namespace

ora_engine::ora_engine() { trace(2, "ora_engine::ctor"); }

ora_engine::~ora_engine() {
  trace(2, "ora_engine::dtor");
  if (!initialized_) return;
  const ora_oci_calls& api = library_->calls();
  // Nothing may escape a destructor: a failing logoff only loses its message.
  if (service_ && api.logoff(service_, error_) == OCI_ERROR) trace(1, "OCILogoff failed");
  service_ = nullptr;
  api.server_detach(server_, error_, OCI_DEFAULT);
  api.handle_free(error_, OCI_HTYPE_ERROR);
  api.handle_free(server_, OCI_HTYPE_SERVER);
  // The environment goes last: every other handle was made from it.
  api.handle_free(environment_, OCI_HTYPE_ENV);
}

ora_engine& ora_engine::engine() {
  ora_engine* current = instance();
  TK_CHECK(current != nullptr, "ora_engi");
  return *current;
}

OCISvcCtx* ora_engine::service_context() {
  ora_engine& current = engine();
  TK_CHECK(current.service_ != nullptr, "ora_engi");
  return current.service_;
}

void ora_engine::initialize() {
  trace(2, "ora_engine::initialize");
  if (initialized_) return;  // the handles exist once per process
  trace(1, "Step #1");
  // Raises the missing-client message when the library cannot be loaded.
  auto library = std::make_unique<ora_oci_library>();
  const ora_oci_calls& api = library->calls();
  trace(1, "Step #2");
  OCIEnv* environment = nullptr;
  if (api.env_create(&environment, OCI_UTF16, nullptr, nullptr, nullptr, nullptr, 0, nullptr) != OCI_SUCCESS ||
      !environment)
    throw tk_exception("The Oracle client could not create its environment.", 1);
  trace(1, "Step #3");
  OCIError* error = nullptr;
  OCIServer* server = nullptr;
  api.handle_alloc(environment, reinterpret_cast<void**>(&error), OCI_HTYPE_ERROR, 52, nullptr);
  api.handle_alloc(environment, reinterpret_cast<void**>(&server), OCI_HTYPE_SERVER, 52, nullptr);
  if (!error || !server) {
    if (error) api.handle_free(error, OCI_HTYPE_ERROR);
    if (server) api.handle_free(server, OCI_HTYPE_SERVER);
    api.handle_free(environment, OCI_HTYPE_ENV);
    throw tk_exception("The Oracle client could not create its environment.", 1);
  }
  trace(1, "Step #4");
  // The real target is named at logon; this attaches to the default one.
  api.server_attach(server, error, oci_text(u""), 0, OCI_DEFAULT);
  library_ = std::move(library);
  environment_ = environment;
  error_ = error;
  server_ = server;
  initialized_ = true;
}

std::u16string ora_engine::masked(const std::u16string& password) {
  return password.empty() ? u"" : u"*****";
}

void ora_engine::log_off() {
  if (!service_) return;
  OCISvcCtx* old = service_;
  service_ = nullptr;  // forgotten even when the logoff fails
  check_status(library_->calls().logoff(old, error_));
}

std::unique_ptr<ora_database> ora_engine::open_db(const std::u16string& connect_string,
                                                  const std::u16string& user,
                                                  const std::u16string& password) {
  trace(2, u"ora_engine::open_db( %s, %s, %s )", connect_string.c_str(), user.c_str(),
        masked(password).c_str());
  trace(3, u"Connecting to Oracle data source '%s'", connect_string.c_str());
  if (!initialized_) initialize();
  log_off();
  const ora_oci_calls& api = library_->calls();
  OCISvcCtx* context = nullptr;
  check_status(api.handle_alloc(environment_, reinterpret_cast<void**>(&context), OCI_HTYPE_SVCCTX, 0,
                                nullptr));
  OCISvcCtx* allocated = context;
  sword status = api.attr_set(context, OCI_HTYPE_SVCCTX, server_, 0, OCI_ATTR_SERVER, error_);
  if (status != OCI_ERROR)
    status = api.logon(environment_, error_, &context, oci_text(user), byte_length(user), oci_text(password),
                       byte_length(password), oci_text(connect_string), byte_length(connect_string));
  // The logon hands back a context of its own, and a failed one none: the
  // context allocated above would otherwise be lost.
  if (context != allocated || status == OCI_ERROR) api.handle_free(allocated, OCI_HTYPE_SVCCTX);
  check_status(status);
  service_ = context;
  trace(2, "The connection has been established");
  connect_string_ = connect_string;
  user_ = user;
  return std::make_unique<ora_database>(connect_string);
}

std::unique_ptr<ora_database> ora_engine::open_db(const std::u16string& host, const std::u16string& user,
                                                  const std::u16string& password, const std::u16string& port,
                                                  const std::u16string& service) {
  trace(2, u"ora_engine::open_db (%s,%s,%s,%s,%s)", host.c_str(), user.c_str(), masked(password).c_str(),
        port.c_str(), service.c_str());
  return open_db(u"//" + host + u":" + port + u"/" + service, user, password);
}

int32_t ora_engine::get_records_cnt(const std::u16string& name_or_query, bool is_query) {
  trace(2, u"ora_engine::get_records_cnt(%s)", name_or_query.c_str());
  TK_CHECK(engine().service_ != nullptr, "ora_engi");
  std::u16string sql = is_query ? u"SELECT COUNT(*) FROM (" + name_or_query + u")"
                                : u"SELECT COUNT(*) FROM \"" + name_or_query + u"\"";
  ora_stmt stmt;
  int32_t count = 0;
  TK_CHECK(stmt.select_int(sql, count), "ora_engi");
  return count;
}

uint32_t ora_engine::get_version() {
  trace(2, "ora_engine::get_version");
  TK_CHECK(engine().service_ != nullptr, "ora_engi");
  ora_stmt stmt;
  stmt.prepare(u"select * from v$version");
  std::vector<char16_t> banner(0x20000 / 2, u'\0');
  OCIDefine* define = nullptr;
  check_status(oci().define_by_pos(stmt.handle(), &define, error_, 1, banner.data(),
                                   static_cast<sb4>(banner.size() * 2), SQLT_STR, nullptr, nullptr, nullptr,
                                   OCI_DEFAULT));
  TK_CHECK(stmt.execute(1) != OCI_NO_DATA, "ora_engi");
  banner.back() = u'\0';
  std::u16string text(banner.data());
  trace(1, u"Got versioned string:\n%s", text.c_str());
  return version_from_banner(text);
}

uint32_t ora_engine::version_from_banner(const std::u16string& banner) {
  size_t start = 0;
  while (start <= banner.size()) {
    size_t end = banner.find(u' ', start);
    if (end == std::u16string::npos) end = banner.size();
    std::u16string word = banner.substr(start, end - start);
    if (!word.empty() && word[0] >= u'0' && word[0] <= u'9') {
      int major = 0, minor = 0, patch = 0;
      if (std::sscanf(tk_to_utf8(word).c_str(), "%d.%d.%d", &major, &minor, &patch) == 3) {
        trace(1, "Got Oracle version: %d,%d,%d", major, minor, patch);
        return static_cast<uint32_t>(major) * 65536u + static_cast<uint32_t>(minor) * 256u +
               static_cast<uint32_t>(patch);
      }
    }
    start = end + 1;
  }
  return 0;
}

sword ora_engine::check_status(sword status) {
  if (status != OCI_ERROR) return status;
  ora_engine& current = engine();
  TK_CHECK(current.error_ != nullptr, "ora_engi");
  sb4 number = 0;
  char16_t text[256] = {};  // the 512 bytes OCIErrorGet is given
  current.library_->calls().error_get(current.error_, 1, nullptr, &number, reinterpret_cast<OraText*>(text),
                                      sizeof text, OCI_HTYPE_ERROR);
  text[255] = u'\0';
  throw ora_exception(number, tk_to_utf8(text));
}
