#pragma once
// Test support: a temporary OCILITE_HOME filled with the ocilite tool, and an
// OCI client that makes the system's own call sequences through the run-time
// binding loaded from the built libocilite.so.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ORA/ora_ocil.h"

std::u16string u16(const std::string& utf8);
std::string utf8(const std::u16string& text);

class ocilite_home {
 public:
  ocilite_home();
  ~ocilite_home();
  const std::string& path() const { return path_; }
  void write(const std::string& relative, const std::string& text) const;
  // The tool's exit code; its standard error in *errors.
  int tool(const std::vector<std::string>& args, std::string* errors = nullptr) const;
  void create_user(const std::string& service, const std::string& user, const std::string& password) const;
  // Runs a script; fails the test when the tool reports an error.
  void load(const std::string& service, const std::string& user, const std::string& script) const;
  int load_status(const std::string& service, const std::string& user, const std::string& script,
                  std::string* errors) const;
  std::string user_file(const std::string& service, const std::string& user) const {
    return path_ + "/" + service + "/" + user + ".db";
  }
  void make_current() const;  // OCILITE_HOME = this folder

 private:
  std::string path_;
};

struct oci_error_record {
  sb4 number = 0;
  std::string text;
};

// Environment (UTF-16), error handle, attached server, and a service context
// after logon, made and released in the order the system uses.
class oci_client {
 public:
  // OCI_UTF16 as the system creates it; OCI_DEFAULT speaks UTF-8.
  explicit oci_client(ub4 mode = OCI_UTF16);
  ~oci_client();
  const ora_oci_calls& api() const { return library_->calls(); }

  sword logon(const std::string& connect, const std::string& user, const std::string& password);
  oci_error_record last_error() const;
  // Text as the environment passes it: UTF-16 or UTF-8 bytes.
  std::string encode(const std::string& utf8) const;
  std::string decode(const void* data, size_t bytes) const;
  bool utf16 = true;

  OCIEnv* env = nullptr;
  OCIError* err = nullptr;
  OCIServer* server = nullptr;
  OCISvcCtx* svc = nullptr;

 private:
  std::unique_ptr<ora_oci_library> library_;
};

// A statement handle, freed at scope end.
class oci_stmt {
 public:
  explicit oci_stmt(oci_client& client);
  ~oci_stmt();
  sword prepare(const std::string& sql);
  sword execute(ub4 iters, ub4 mode = OCI_DEFAULT);
  sword fetch();
  // Prepare and execute with 0 iterations; asserts success.
  void open(const std::string& sql);
  ub4 param_count();
  OCIParam* param(ub4 position);

  oci_client& client;
  OCIStmt* handle = nullptr;
};

// The text/number/date attributes of a column descriptor.
struct described_column {
  std::string name;
  ub2 type = 0;
  ub2 size = 0;
  int precision = 0;
  int scale = 0;
  bool nullable = false;
};
described_column describe(oci_client& client, OCIParam* param);

// Rows of a query fetched as UTF-16 text (SQLT_STR, generous buffers); NULL as "<null>".
std::vector<std::vector<std::string>> query_text(oci_client& client, const std::string& sql);

// A logged-on client over a fresh home holding one schema made by a script
// (service DB, user SCOTT, password tiger).
class ocilite_test : public ::testing::Test {
 protected:
  void SetUp() override;
  void load(const std::string& script) { home.load("DB", "SCOTT", script); }
  void connect();

  ocilite_home home;
  std::unique_ptr<oci_client> client;
};
