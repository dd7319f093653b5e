// Logon through the binding: every way a connection can fail, with Oracle's
// numbers and texts, and the sessions a successful logon gives.
#include <sqlite3.h>

#include "oci_fixture.h"

namespace {

class logon_test : public ocilite_test {
 protected:
  oci_error_record failed_logon(const std::string& connect, const std::string& user,
                                const std::string& password) {
    client = std::make_unique<oci_client>();
    EXPECT_EQ(client->logon(connect, user, password), OCI_ERROR);
    return client->last_error();
  }
};

TEST_F(logon_test, UserNameIsMatchedAsOracleMatchesUnquotedNames) {
  client = std::make_unique<oci_client>();
  EXPECT_EQ(client->logon("//localhost:1521/DB", "scott", "tiger"), OCI_SUCCESS);
  EXPECT_EQ(client->logon("//127.0.0.1:1521/db", "Scott", "tiger"), OCI_SUCCESS);
  EXPECT_EQ(client->logon("//[::1]:1521/DB", "SCOTT", "tiger"), OCI_SUCCESS);
  // A quoted name keeps its case, so "scott" is another user.
  EXPECT_EQ(client->logon("//localhost:1521/DB", "\"scott\"", "tiger"), OCI_ERROR);
  EXPECT_EQ(client->last_error().number, 1017);
}

TEST_F(logon_test, WrongPasswordOrUnknownUserIsOra01017) {
  auto wrong = failed_logon("//localhost:1521/DB", "scott", "TIGER");  // passwords are case-sensitive
  EXPECT_EQ(wrong.number, 1017);
  EXPECT_EQ(wrong.text, "ORA-01017: invalid username/password; logon denied");
  EXPECT_EQ(failed_logon("//localhost:1521/DB", "nobody", "tiger").number, 1017);
  EXPECT_EQ(failed_logon("//localhost:1521/DB", "../DB/SCOTT", "tiger").number, 1017);
  EXPECT_EQ(failed_logon("//localhost:1521/DB", "", "tiger").number, 1017);
}

TEST_F(logon_test, DamagedUserFileIsOra01017NotACrash) {
  home.write("DB/BROKEN.db", std::string("this is not a database\n") + std::string(5000, 'x'));
  EXPECT_EQ(failed_logon("//localhost:1521/DB", "broken", "x").number, 1017);
  // A real SQLite file without ocilite's account table is no schema either.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((home.path() + "/DB/OTHER.db").c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "CREATE TABLE T(A)", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  EXPECT_EQ(failed_logon("//localhost:1521/DB", "other", "x").number, 1017);
}

TEST_F(logon_test, LockedAccountIsOra28000) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(home.user_file("DB", "SCOTT").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "UPDATE \"OCILITE$ACCOUNT\" SET LOCKED = 1", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  auto locked = failed_logon("//localhost:1521/DB", "scott", "tiger");
  EXPECT_EQ(locked.number, 28000);
  EXPECT_EQ(locked.text, "ORA-28000: the account is locked");
  // The password is still checked first.
  EXPECT_EQ(failed_logon("//localhost:1521/DB", "scott", "lion").number, 1017);
}

TEST_F(logon_test, UnknownHostIsOra12545UnlessListedInHostsFile) {
  auto unknown = failed_logon("//dbserver:1521/DB", "scott", "tiger");
  EXPECT_EQ(unknown.number, 12545);
  EXPECT_EQ(unknown.text, "ORA-12545: Connect failed because target host or object does not exist");
  EXPECT_EQ(failed_logon("//:1521/DB", "scott", "tiger").number, 12545);  // empty host
  home.write("hosts", "# our servers\n  dbserver  \nother\n");
  client = std::make_unique<oci_client>();
  EXPECT_EQ(client->logon("//DBSERVER:1521/DB", "scott", "tiger"), OCI_SUCCESS);
  EXPECT_EQ(failed_logon("//dbserver2:1521/DB", "scott", "tiger").number, 12545);
}

TEST_F(logon_test, WrongPortIsOra12541AndThePortFileMovesTheListener) {
  auto wrong = failed_logon("//localhost:1522/DB", "scott", "tiger");
  EXPECT_EQ(wrong.number, 12541);
  EXPECT_EQ(wrong.text, "ORA-12541: TNS:no listener");
  home.write("port", "1600\n");
  EXPECT_EQ(failed_logon("//localhost:1521/DB", "scott", "tiger").number, 12541);
  client = std::make_unique<oci_client>();
  EXPECT_EQ(client->logon("//localhost:1600/DB", "scott", "tiger"), OCI_SUCCESS);
  EXPECT_EQ(client->logon("localhost/DB", "scott", "tiger"), OCI_ERROR);  // default port 1521
}

TEST_F(logon_test, UnknownServiceIsOra12514) {
  auto unknown = failed_logon("//localhost:1521/PROD", "scott", "tiger");
  EXPECT_EQ(unknown.number, 12514);
  EXPECT_EQ(unknown.text,
            "ORA-12514: TNS:listener does not currently know of service requested in connect descriptor");
  EXPECT_EQ(failed_logon("//localhost:1521/..", "scott", "tiger").number, 12514);
}

TEST_F(logon_test, MissingHomeAndMalformedConnectStrings) {
  unsetenv("OCILITE_HOME");
  EXPECT_EQ(failed_logon("//localhost:1521/DB", "scott", "tiger").number, 12541);
  home.make_current();
  EXPECT_EQ(failed_logon("DB", "scott", "tiger").number, 12154);
  EXPECT_EQ(failed_logon("", "scott", "tiger").number, 12162);
}

TEST_F(logon_test, SecondLogonReplacesTheFirstSession) {
  home.create_user("DB", "ADAMS", "secret");
  load("CREATE TABLE MINE (A NUMBER);");
  client = std::make_unique<oci_client>();
  ASSERT_EQ(client->logon("//localhost:1521/DB", "scott", "tiger"), OCI_SUCCESS);
  EXPECT_EQ(query_text(*client, "SELECT TABLE_NAME FROM USER_TABLES").size(), 1u);
  ASSERT_EQ(client->logon("//localhost:1521/DB", "adams", "secret"), OCI_SUCCESS);
  // Only the current user's objects are seen.
  EXPECT_TRUE(query_text(*client, "SELECT TABLE_NAME FROM USER_TABLES").empty());
}

TEST_F(logon_test, CallsOnFreedOrForeignHandlesAreRejected) {
  connect();
  const ora_oci_calls& oci = client->api();
  int not_a_handle = 0;
  EXPECT_EQ(oci.handle_free(&not_a_handle, OCI_HTYPE_STMT), OCI_INVALID_HANDLE);
  OCIStmt* stmt = nullptr;
  ASSERT_EQ(oci.handle_alloc(client->env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr), OCI_SUCCESS);
  EXPECT_EQ(oci.handle_free(stmt, OCI_HTYPE_ERROR), OCI_INVALID_HANDLE);  // wrong type
  EXPECT_EQ(oci.handle_free(stmt, OCI_HTYPE_STMT), OCI_SUCCESS);
  EXPECT_EQ(oci.handle_free(stmt, OCI_HTYPE_STMT), OCI_INVALID_HANDLE);  // freed twice
  EXPECT_EQ(oci.stmt_fetch(stmt, client->err, 1, OCI_FETCH_NEXT, OCI_DEFAULT), OCI_INVALID_HANDLE);
  // A logged-off context is gone, and statements run on it fail cleanly.
  OCISvcCtx* old = client->svc;
  EXPECT_EQ(oci.logoff(old, client->err), OCI_SUCCESS);
  client->svc = nullptr;
  EXPECT_EQ(oci.logoff(old, client->err), OCI_INVALID_HANDLE);
}

TEST_F(logon_test, DefaultEnvironmentSpeaksUtf8Throughout) {
  load("CREATE TABLE CITIES (NAME NVARCHAR2(20), LOCAL_NAME VARCHAR2(20 CHAR)); "
       "INSERT INTO CITIES VALUES ('Zürich', 'Zúric');");
  client = std::make_unique<oci_client>(OCI_DEFAULT);
  ASSERT_EQ(client->logon("//localhost:1521/DB", "scott", "tiger"), OCI_SUCCESS) << client->last_error().text;
  EXPECT_EQ(query_text(*client, "SELECT NAME, LOCAL_NAME FROM CITIES WHERE NAME = 'Zürich'"),
            (std::vector<std::vector<std::string>>{{"Zürich", "Zúric"}}));
  oci_stmt stmt(*client);
  stmt.open("SELECT NAME, LOCAL_NAME FROM CITIES");
  EXPECT_EQ(describe(*client, stmt.param(1)).name, "NAME");
  ub1 form = 0;
  EXPECT_EQ(client->api().attr_get(stmt.param(1), OCI_DTYPE_PARAM, &form, nullptr, OCI_ATTR_CHARSET_FORM, client->err), OCI_SUCCESS);
  EXPECT_EQ(form, SQLCS_NCHAR);
  EXPECT_EQ(client->api().attr_get(stmt.param(2), OCI_DTYPE_PARAM, &form, nullptr, OCI_ATTR_CHARSET_FORM, client->err), OCI_SUCCESS);
  EXPECT_EQ(form, SQLCS_IMPLICIT);
  oci_stmt bad(*client);
  bad.prepare("SELECT * FROM MISSING");
  EXPECT_EQ(bad.execute(0), OCI_ERROR);
  EXPECT_EQ(client->last_error().text, "ORA-00942: table or view does not exist");
}

TEST_F(logon_test, ErrorGetWithoutAnErrorAndIntoASmallBuffer) {
  connect();
  sb4 number = 0;
  char16_t text[8];
  EXPECT_EQ(client->api().error_get(client->err, 1, nullptr, &number, reinterpret_cast<OraText*>(text),
                                    sizeof text, OCI_HTYPE_ERROR),
            OCI_NO_DATA);
  oci_stmt stmt(*client);
  stmt.prepare("SELECT * FROM NOWHERE");
  EXPECT_EQ(stmt.execute(0), OCI_ERROR);
  EXPECT_EQ(client->api().error_get(client->err, 1, nullptr, &number, reinterpret_cast<OraText*>(text),
                                    sizeof text, OCI_HTYPE_ERROR),
            OCI_SUCCESS);
  EXPECT_EQ(number, 942);
  EXPECT_EQ(utf8(text), "ORA-009");  // cut to the buffer, terminated
  EXPECT_EQ(client->api().error_get(client->err, 2, nullptr, &number, reinterpret_cast<OraText*>(text),
                                    sizeof text, OCI_HTYPE_ERROR),
            OCI_NO_DATA);
}

}  // namespace
