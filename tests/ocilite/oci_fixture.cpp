#include "oci_fixture.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/codepage.h"

std::u16string u16(const std::string& text) { return platform::utf8_to_utf16(text); }
std::string utf8(const std::u16string& text) { return platform::utf16_to_utf8(text); }

namespace {

std::string shell_quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

ocilite_home::ocilite_home() {
  char pattern[] = "/tmp/ocilite-test-XXXXXX";
  const char* made = mkdtemp(pattern);
  EXPECT_NE(made, nullptr);
  path_ = made ? made : "/tmp";
}

ocilite_home::~ocilite_home() {
  std::string command = "rm -rf " + shell_quote(path_);
  if (path_.rfind("/tmp/ocilite-test-", 0) == 0) {
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
}

void ocilite_home::write(const std::string& relative, const std::string& text) const {
  std::ofstream out(path_ + "/" + relative, std::ios::binary);
  out << text;
}

int ocilite_home::tool(const std::vector<std::string>& args, std::string* errors) const {
  std::string command = shell_quote(OCILITE_TOOL);
  for (const auto& a : args) command += " " + shell_quote(a);
  std::string error_file = path_ + "/.tool-errors";
  command += " 2>" + shell_quote(error_file);
  int status = std::system(command.c_str());
  if (errors) *errors = read_file(error_file);
  std::remove(error_file.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ocilite_home::create_user(const std::string& service, const std::string& user,
                               const std::string& password) const {
  std::string errors;
  ASSERT_EQ(tool({"create-user", path_, service, user, password}, &errors), 0) << errors;
}

int ocilite_home::load_status(const std::string& service, const std::string& user,
                              const std::string& script, std::string* errors) const {
  std::string file = path_ + "/.script.sql";
  {
    std::ofstream out(file, std::ios::binary);
    out << script;
  }
  int status = tool({"run", path_, service, user, file}, errors);
  std::remove(file.c_str());
  return status;
}

void ocilite_home::load(const std::string& service, const std::string& user,
                        const std::string& script) const {
  std::string errors;
  ASSERT_EQ(load_status(service, user, script, &errors), 0) << errors;
}

void ocilite_home::make_current() const { setenv("OCILITE_HOME", path_.c_str(), 1); }

oci_client::oci_client(ub4 mode) : utf16(mode == OCI_UTF16) {
  setenv("DMW_OCI_LIBRARY", OCILITE_LIBRARY, 1);
  library_ = std::make_unique<ora_oci_library>();
  const ora_oci_calls& oci = api();
  EXPECT_EQ(oci.env_create(&env, mode, nullptr, nullptr, nullptr, nullptr, 0, nullptr), OCI_SUCCESS);
  EXPECT_EQ(oci.handle_alloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 52, nullptr), OCI_SUCCESS);
  EXPECT_EQ(oci.handle_alloc(env, reinterpret_cast<void**>(&server), OCI_HTYPE_SERVER, 52, nullptr), OCI_SUCCESS);
  EXPECT_EQ(oci.server_attach(server, err, reinterpret_cast<const OraText*>(u""), 0, OCI_DEFAULT), OCI_SUCCESS);
}

oci_client::~oci_client() {
  const ora_oci_calls& oci = api();
  if (svc) {
    EXPECT_EQ(oci.logoff(svc, err), OCI_SUCCESS);
  }
  oci.server_detach(server, err, OCI_DEFAULT);
  oci.handle_free(err, OCI_HTYPE_ERROR);
  oci.handle_free(server, OCI_HTYPE_SERVER);
  oci.handle_free(env, OCI_HTYPE_ENV);
}

sword oci_client::logon(const std::string& connect, const std::string& user,
                        const std::string& password) {
  const ora_oci_calls& oci = api();
  if (svc) {
    EXPECT_EQ(oci.logoff(svc, err), OCI_SUCCESS);
    svc = nullptr;
  }
  OCISvcCtx* context = nullptr;
  EXPECT_EQ(oci.handle_alloc(env, reinterpret_cast<void**>(&context), OCI_HTYPE_SVCCTX, 0, nullptr), OCI_SUCCESS);
  EXPECT_EQ(oci.attr_set(context, OCI_HTYPE_SVCCTX, server, 0, OCI_ATTR_SERVER, err), OCI_SUCCESS);
  std::string u = encode(user), p = encode(password), c = encode(connect);
  OCISvcCtx* allocated = context;
  sword status = oci.logon(env, err, &context, reinterpret_cast<const OraText*>(u.data()), (ub4)u.size(),
                           reinterpret_cast<const OraText*>(p.data()), (ub4)p.size(),
                           reinterpret_cast<const OraText*>(c.data()), (ub4)c.size());
  oci.handle_free(allocated, OCI_HTYPE_SVCCTX);
  if (status == OCI_SUCCESS) svc = context;
  return status;
}

oci_error_record oci_client::last_error() const {
  oci_error_record record;
  char16_t text[256] = {};
  sword status = api().error_get(err, 1, nullptr, &record.number, reinterpret_cast<OraText*>(text),
                                 sizeof text, OCI_HTYPE_ERROR);
  if (status == OCI_SUCCESS)
    record.text = utf16 ? utf8(text) : std::string(reinterpret_cast<const char*>(text));
  return record;
}

std::string oci_client::encode(const std::string& text) const {
  if (!utf16) return text;
  std::u16string wide = u16(text);
  return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
}

std::string oci_client::decode(const void* data, size_t bytes) const {
  if (!utf16) return std::string(static_cast<const char*>(data), bytes);
  std::u16string wide(bytes / 2, u'\0');
  std::memcpy(wide.data(), data, wide.size() * 2);
  return utf8(wide);
}

oci_stmt::oci_stmt(oci_client& c) : client(c) {
  EXPECT_EQ(client.api().handle_alloc(client.env, reinterpret_cast<void**>(&handle), OCI_HTYPE_STMT, 0, nullptr),
            OCI_SUCCESS);
}

oci_stmt::~oci_stmt() { client.api().handle_free(handle, OCI_HTYPE_STMT); }

sword oci_stmt::prepare(const std::string& sql) {
  std::string text = client.encode(sql);
  return client.api().stmt_prepare(handle, client.err, reinterpret_cast<const OraText*>(text.data()),
                                   (ub4)text.size(), OCI_NTV_SYNTAX, OCI_DEFAULT);
}

sword oci_stmt::execute(ub4 iters, ub4 mode) {
  return client.api().stmt_execute(client.svc, handle, client.err, iters, 0, nullptr, nullptr, mode);
}

sword oci_stmt::fetch() {
  return client.api().stmt_fetch(handle, client.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
}

void oci_stmt::open(const std::string& sql) {
  ASSERT_EQ(prepare(sql), OCI_SUCCESS);
  ASSERT_EQ(execute(0), OCI_SUCCESS) << client.last_error().text << "\n" << sql;
}

ub4 oci_stmt::param_count() {
  ub4 count = 0;
  EXPECT_EQ(client.api().attr_get(handle, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, client.err),
            OCI_SUCCESS);
  return count;
}

OCIParam* oci_stmt::param(ub4 position) {
  void* p = nullptr;
  EXPECT_EQ(client.api().param_get(handle, OCI_HTYPE_STMT, client.err, &p, position), OCI_SUCCESS);
  return static_cast<OCIParam*>(p);
}

described_column describe(oci_client& client, OCIParam* param) {
  const ora_oci_calls& oci = client.api();
  described_column d;
  void* name = nullptr;
  ub4 name_bytes = 0;
  EXPECT_EQ(oci.attr_get(param, OCI_DTYPE_PARAM, &name, &name_bytes, OCI_ATTR_NAME, client.err), OCI_SUCCESS);
  d.name = client.decode(name, name_bytes);
  EXPECT_EQ(oci.attr_get(param, OCI_DTYPE_PARAM, &d.type, nullptr, OCI_ATTR_DATA_TYPE, client.err), OCI_SUCCESS);
  EXPECT_EQ(oci.attr_get(param, OCI_DTYPE_PARAM, &d.size, nullptr, OCI_ATTR_DATA_SIZE, client.err), OCI_SUCCESS);
  int32_t precision = 0;  // read as the system reads it: into a zeroed 32-bit integer
  EXPECT_EQ(oci.attr_get(param, OCI_DTYPE_PARAM, &precision, nullptr, OCI_ATTR_PRECISION, client.err), OCI_SUCCESS);
  d.precision = precision;
  sb1 scale = 0;
  EXPECT_EQ(oci.attr_get(param, OCI_DTYPE_PARAM, &scale, nullptr, OCI_ATTR_SCALE, client.err), OCI_SUCCESS);
  d.scale = scale;
  ub1 nullable = 0;
  EXPECT_EQ(oci.attr_get(param, OCI_DTYPE_PARAM, &nullable, nullptr, OCI_ATTR_IS_NULL, client.err), OCI_SUCCESS);
  d.nullable = nullable != 0;
  return d;
}

std::vector<std::vector<std::string>> query_text(oci_client& client, const std::string& sql) {
  std::vector<std::vector<std::string>> rows;
  oci_stmt stmt(client);
  stmt.open(sql);
  ub4 count = stmt.param_count();
  std::vector<std::vector<char16_t>> buffers(count, std::vector<char16_t>(4001));
  std::vector<sb2> indicators(count);
  std::vector<OCIDefine*> defines(count);
  for (ub4 i = 0; i < count; ++i)
    EXPECT_EQ(client.api().define_by_pos(stmt.handle, &defines[i], client.err, i + 1, buffers[i].data(),
                                         (sb4)buffers[i].size() * 2, SQLT_STR, &indicators[i], nullptr,
                                         nullptr, OCI_DEFAULT),
              OCI_SUCCESS);
  for (;;) {
    sword status = stmt.fetch();
    if (status == OCI_NO_DATA) break;
    EXPECT_EQ(status, OCI_SUCCESS) << client.last_error().text;
    if (status != OCI_SUCCESS) break;
    std::vector<std::string> row;
    for (ub4 i = 0; i < count; ++i)
      row.push_back(indicators[i] == -1 ? "<null>"
                    : client.utf16 ? utf8(buffers[i].data())
                                   : std::string(reinterpret_cast<const char*>(buffers[i].data())));
    rows.push_back(row);
  }
  return rows;
}

void ocilite_test::SetUp() {
  home.create_user("DB", "SCOTT", "tiger");
  home.make_current();
}

void ocilite_test::connect() {
  client = std::make_unique<oci_client>();
  ASSERT_EQ(client->logon("//localhost:1521/DB", "scott", "tiger"), OCI_SUCCESS) << client->last_error().text;
}
