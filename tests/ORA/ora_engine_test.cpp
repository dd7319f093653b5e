// The session: loading the client, logging on and off, errors as
// ora_exception, counting rows, the server version, the trace of a logon.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ORA/ora_excp.h"
#include "ORA/ora_stmt.h"
#include "TK/tk_trace.h"
#include "tests/ORA/ora_home.h"
#include "tests/TK/decode_assertion.h"

namespace {

template <typename F>
std::string assertion_file_of(F&& action) {
  try {
    action();
  } catch (const tk_mail_assertion& e) {
    EXPECT_EQ(e.level(), 2);
    return assertion_file(e);
  } catch (const std::exception& e) {
    return std::string("other exception: ") + e.what();
  }
  return "no exception";
}

template <typename F>
int oracle_error_of(F&& action) {
  try {
    action();
  } catch (const ora_exception& e) {
    EXPECT_EQ(e.code(), ora_exception::code_base | static_cast<uint32_t>(e.oracle_number()));
    EXPECT_EQ(e.level(), 0);
    return e.oracle_number();
  }
  return 0;
}

}  // namespace

TEST(OraEngine, ReleaseNumberIsTheFirstDottedWordStartingWithADigit) {
  EXPECT_EQ(ora_engine::version_from_banner(u"Oracle Database 11g Release 11.2.0.1.0 - 64bit Production"),
            0x0B0200u);
  EXPECT_EQ(ora_engine::version_from_banner(u"Oracle9i Enterprise Edition Release 9.2.0.1.0 - Production"),
            0x090200u);
  EXPECT_EQ(ora_engine::version_from_banner(u"Oracle7 Server Release 7.3.4.0.0 - Production"), 0x070304u);
  // A word with only two numbers does not qualify; the next one does.
  EXPECT_EQ(ora_engine::version_from_banner(u"Release 8.1 then 10.2.0.1.0"), 0x0A0200u);
  EXPECT_EQ(ora_engine::version_from_banner(u"Personal Oracle Lite"), 0u);
  EXPECT_EQ(ora_engine::version_from_banner(u""), 0u);
}

TEST(OraEngine, OracleErrorsHaveTheirOwnCodeRange) {
  ora_exception e(942, "ORA-00942: table or view does not exist");
  EXPECT_EQ(e.code(), 0x1003AEu);
  EXPECT_EQ(e.level(), 0);
  EXPECT_EQ(e.text(), "ORA-00942: table or view does not exist");
  EXPECT_EQ(ora_exception(0x12345, "x").code(), 0x102345u);
}

TEST(OraEngine, OneEngineAtATimeAndNoneIsAnInternalError) {
  EXPECT_EQ(assertion_file_of([] { ora_engine::engine(); }), "ora_engi");
  ora_engine first;
  EXPECT_EQ(&ora_engine::engine(), &first);
  EXPECT_EQ(assertion_file_of([] { ora_engine second; }), "tk_singl");
  // Nothing logged on yet: the session services are internal errors.
  EXPECT_EQ(assertion_file_of([&] { first.get_records_cnt(u"T"); }), "ora_engi");
  EXPECT_EQ(assertion_file_of([&] { first.get_version(); }), "ora_engi");
}

TEST(OraEngine, AMissingClientFailsWithItsMessageAndIsTriedAgainLater) {
  ora_test_home home;
  home.create_user("DB", "SCOTT", "tiger");
  home.load("DB", "SCOTT", "CREATE TABLE T (A NUMBER(4));");
  home.make_current();
  setenv("DMW_OCI_LIBRARY", "/nonexistent/libclntsh.so", 1);
  ora_engine engine;
  try {
    engine.open_db(u"//localhost:1521/DB", u"scott", u"tiger");
    FAIL() << "logged on without a client";
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.level(), 1);
    EXPECT_EQ(e.code(), 0u);
    EXPECT_EQ(e.text(), ora_oci_library::missing_client_text());
  }
  EXPECT_FALSE(engine.is_initialized());
  home.make_current();
  std::unique_ptr<ora_database> db = engine.open_db(u"//localhost:1521/DB", u"scott", u"tiger");
  EXPECT_TRUE(engine.is_initialized());
  EXPECT_EQ(db->name(), u"//localhost:1521/DB");
  EXPECT_EQ(db->table_names(), std::vector<std::u16string>{u"T"});
}

TEST_F(ora_source_test, LogonFailuresAreOracleErrorsAndLeaveNoSession) {
  open("CREATE TABLE T (A NUMBER(4));");
  EXPECT_TRUE(engine->is_logged_on());
  db.reset();
  EXPECT_EQ(oracle_error_of([&] { engine->open_db(u"localhost", u"scott", u"wrong", u"1521", u"DB"); }), 1017);
  // The earlier session was logged off before the failed logon.
  EXPECT_FALSE(engine->is_logged_on());
  EXPECT_EQ(assertion_file_of([&] { engine->get_records_cnt(u"T"); }), "ora_engi");
  EXPECT_EQ(oracle_error_of([&] { engine->open_db(u"localhost", u"scott", u"tiger", u"1521", u"NOSUCH"); }),
            12514);
  EXPECT_EQ(oracle_error_of([&] { engine->open_db(u"localhost", u"scott", u"tiger", u"1600", u"DB"); }), 12541);
  // An empty host makes "//:1521/DB", which names no host.
  EXPECT_NE(oracle_error_of([&] { engine->open_db(u"", u"scott", u"tiger", u"1521", u"DB"); }), 0);
  try {
    engine->open_db(u"//localhost:1521/DB", u"scott", u"wrong");
  } catch (const ora_exception& e) {
    EXPECT_EQ(e.code(), 0x1003F9u);
    EXPECT_EQ(e.text().rfind("ORA-01017", 0), 0u) << e.text();
  }
  db = engine->open_db(u"localhost", u"SCOTT", u"tiger", u"1521", u"db");
  EXPECT_TRUE(engine->is_logged_on());
  EXPECT_EQ(engine->get_records_cnt(u"T"), 0);
}

TEST_F(ora_source_test, ASecondLogonReplacesTheFirstSession) {
  home.create_user("DB", "ADAMS", "wood");
  home.load("DB", "ADAMS", "CREATE TABLE ONLY_ADAMS (A NUMBER(4)); INSERT INTO ONLY_ADAMS VALUES (1);");
  open("CREATE TABLE ONLY_SCOTT (A NUMBER(4));");
  std::unique_ptr<ora_database> second = engine->open_db(u"//localhost:1521/DB", u"adams", u"wood");
  EXPECT_EQ(engine->user(), u"adams");
  EXPECT_EQ(second->table_names(), std::vector<std::u16string>{u"ONLY_ADAMS"});
  // Statements now run in the second session only.
  EXPECT_EQ(engine->get_records_cnt(u"ONLY_ADAMS"), 1);
  EXPECT_EQ(oracle_error_of([&] { engine->get_records_cnt(u"ONLY_SCOTT"); }), 942);
}

TEST_F(ora_source_test, RowsAreCountedByQuotedNameOrByWrappedQuery) {
  open(
      "CREATE TABLE \"Mixed case\" (A NUMBER(4));"
      "INSERT INTO \"Mixed case\" VALUES (1); INSERT INTO \"Mixed case\" VALUES (2);"
      "CREATE TABLE \"lower\" (A NUMBER(4)); INSERT INTO \"lower\" VALUES (7);");
  EXPECT_EQ(engine->get_records_cnt(u"Mixed case"), 2);
  EXPECT_EQ(engine->get_records_cnt(u"lower"), 1);
  EXPECT_EQ(oracle_error_of([&] { engine->get_records_cnt(u"LOWER"); }), 942);
  EXPECT_EQ(engine->get_records_cnt(u"SELECT A FROM \"Mixed case\" WHERE A > 1", true), 1);
  EXPECT_EQ(oracle_error_of([&] { engine->get_records_cnt(u"MIXED CASE"); }), 942);
}

TEST_F(ora_source_test, VersionComesFromTheServiceBanner) {
  open("CREATE TABLE T (A NUMBER(4));");
  EXPECT_EQ(engine->get_version(), 0x0B0200u);
  home.write("DB/banner", "Oracle9i Enterprise Edition Release 9.2.0.1.0 - Production\nPL/SQL Release 9.2.0.1.0\n");
  db = engine->open_db(u"//localhost:1521/DB", u"scott", u"tiger");
  EXPECT_EQ(engine->get_version(), 0x090200u);
  home.write("DB/banner", "Personal Oracle\n");
  db = engine->open_db(u"//localhost:1521/DB", u"scott", u"tiger");
  EXPECT_EQ(engine->get_version(), 0u);
}

TEST_F(ora_source_test, StatementErrorsCarryOraclesNumberAndText) {
  open("CREATE TABLE T (A NUMBER(4));");
  try {
    db->query(u"DELETE FROM NO_SUCH_TABLE");
    FAIL() << "no error";
  } catch (const ora_exception& e) {
    EXPECT_EQ(e.oracle_number(), 942);
    EXPECT_EQ(e.code(), 0x1003AEu);
    EXPECT_EQ(e.text().rfind("ORA-00942", 0), 0u) << e.text();
  }
  db->query(u"INSERT INTO T VALUES (5)");
  EXPECT_EQ(engine->get_records_cnt(u"T"), 1);
}

TEST_F(ora_source_test, TheLogonTraceNeverShowsThePassword) {
  home.load("DB", "SCOTT", "CREATE TABLE T (A NUMBER(4));");
  std::string path = home.path() + "/trace.log";
  {
    tk_trace log(path, true, 1, false);
    db = engine->open_db(u"localhost", u"scott", u"tiger", u"1521", u"DB");
    db.reset();
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::string trace = text.str();
  EXPECT_EQ(trace.find("tiger"), std::string::npos) << trace;
  EXPECT_NE(trace.find("ora_engine::open_db (localhost,scott,*****,1521,DB)\r\n"), std::string::npos) << trace;
  EXPECT_NE(trace.find("ora_engine::open_db( //localhost:1521/DB, scott, ***** )\r\n"), std::string::npos);
  EXPECT_NE(trace.find("Connecting to Oracle data source '//localhost:1521/DB'\r\n"), std::string::npos);
  EXPECT_NE(trace.find("The connection has been established\r\n"), std::string::npos);
  EXPECT_NE(trace.find("Tables count: 1\r\n"), std::string::npos);
}
