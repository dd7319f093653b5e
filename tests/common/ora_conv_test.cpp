#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ORA/ora_ocil.h"
#include "TK/tk_excep.h"
#include "TK/tk_trace.h"
#include "UDB/udb_conv.h"
#include "common/dmw_conv.h"
#include "common/ora_conv.h"
#include "ORA/ora_excp.h"
#include "tests/ORA/ora_home.h"

TEST(OracleConverter, SettingsAreStoredWithLocalhostForAnEmptyHost) {
  oracle_converter_impl oracle;
  EXPECT_EQ(oracle.oracle_port(), u"1521");
  oracle.store_oracle_settings(u"", u"scott", u"tiger", u"1522");
  EXPECT_EQ(oracle.oracle_host(), u"localhost");
  EXPECT_EQ(oracle.oracle_user(), u"scott");
  EXPECT_EQ(oracle.oracle_password(), u"tiger");
  EXPECT_EQ(oracle.oracle_port(), u"1522");
  oracle.store_oracle_settings(u"db.example", u"", u"", u"");
  EXPECT_EQ(oracle.oracle_host(), u"db.example");
  EXPECT_EQ(oracle.oracle_user(), u"");
  EXPECT_EQ(oracle.oracle_port(), u"");
}

TEST(OracleConverter, SettingsAreTracedInTheirOrder) {
  std::string path = (std::filesystem::temp_directory_path() /
                      ("dmw_ora_" + std::to_string(::getpid()) + ".log")).string();
  {
    tk_trace log(path, true, 2, false);
    oracle_converter_impl oracle;
    oracle.store_oracle_settings(u"h\u00f6st", u"u", u"p", u"1");
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  std::remove(path.c_str());
  // The password is masked; the engine lives as long as the settings.
  EXPECT_EQ(content.str(),
            "ora_engine::ctor\r\n"
            "oracle_converter_impl::ctor\r\n"
            "oracle_converter_impl::store_oracle_settings(h\xC3\xB6st,u,*****,1)\r\n"
            "oracle_converter_impl::dtor\r\n"
            "ora_engine::dtor\r\n");
}

TEST(OracleConverter, ConnectingFailsWithTheMissingClientMessage) {
  // No client at this path, whatever the machine has installed.
  const char* chosen = std::getenv("DMW_OCI_LIBRARY");
  std::string old = chosen ? chosen : "";
  ::setenv("DMW_OCI_LIBRARY", "/nonexistent/libclntsh.so", 1);
  oracle_converter_impl oracle;
  oracle.store_oracle_settings(u"db", u"scott", u"tiger", u"1521");
  try {
    oracle.connect_oracle_server(u"ORCL");
    FAIL() << "connected without an Oracle client";
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.level(), 1);
    EXPECT_EQ(e.code(), 0u);
    EXPECT_EQ(e.text(), ora_oci_library::missing_client_text());
    EXPECT_EQ(e.text().rfind("The Oracle client and networking components were not found.\n", 0), 0u);
  }
  // A failed connection keeps neither a database nor its name.
  EXPECT_EQ(oracle.source_database(), nullptr);
  EXPECT_EQ(oracle.oracle_database_name(), u"");
  EXPECT_FALSE(oracle.test_oracle_query(u"select 1 from dual"));
  EXPECT_EQ(oracle.source_database(), nullptr);
  if (chosen) ::setenv("DMW_OCI_LIBRARY", old.c_str(), 1);
  else ::unsetenv("DMW_OCI_LIBRARY");
}

TEST(OracleConverter, ProfileTakesPresentValuesAndStoresOnlyValuesThatAreSet) {
  udb_profile loaded;
  loaded.set_value(u"Oracle settings", u"host", u"srv");
  loaded.set_value(u"Oracle settings", u"port", u"");
  loaded.set_value(u"Oracle settings", u"user", u"scott");
  oracle_converter_impl oracle;
  oracle.store_oracle_settings(u"old", u"olduser", u"secret", u"1600");
  oracle.load_profile(loaded);
  EXPECT_EQ(oracle.oracle_host(), u"srv");
  EXPECT_EQ(oracle.oracle_port(), u"1600");  // empty values do not replace
  EXPECT_EQ(oracle.oracle_user(), u"scott");
  EXPECT_EQ(oracle.oracle_password(), u"secret");

  oracle.store_oracle_settings(u"srv", u"", u"", u"1600");
  udb_profile stored;
  oracle.store_profile(stored);
  const udb_profile::section* section = stored.find_section(u"Oracle settings");
  ASSERT_NE(section, nullptr);
  EXPECT_EQ(*section, (udb_profile::section{{u"host", u"srv"}, {u"port", u"1600"}}));
}

namespace {

// Settings for the schema DB/SCOTT/tiger of a fresh ocilite home.
class OracleConnection : public ::testing::Test {
 protected:
  void SetUp() override {
    home.create_user("DB", "SCOTT", "tiger");
    home.load("DB", "SCOTT", "CREATE TABLE EMP (ID NUMBER(4)); INSERT INTO EMP VALUES (1);");
    home.create_user("OTHER", "SCOTT", "tiger");
    home.load("OTHER", "SCOTT", "CREATE TABLE DEPT (ID NUMBER(4)); CREATE TABLE BONUS (ID NUMBER(4));");
    home.make_current();
    oracle.store_oracle_settings(u"", u"scott", u"tiger", u"1521");
  }

  ora_test_home home;
  oracle_converter_impl oracle;
};

}  // namespace

TEST_F(OracleConnection, ConnectingAgainLeavesOneConnectionToTheNewDatabase) {
  udb_database& first = oracle.connect_oracle_server(u"DB");
  EXPECT_EQ(&first, oracle.source_database());
  EXPECT_EQ(first.name(), u"//localhost:1521/DB");
  EXPECT_EQ(first.table_names(), std::vector<std::u16string>{u"EMP"});
  EXPECT_EQ(oracle.oracle_database_name(), u"DB");
  udb_database& second = oracle.connect_oracle_server(u"OTHER");
  EXPECT_EQ(&second, oracle.source_database());
  EXPECT_EQ(second.table_names(), (std::vector<std::u16string>{u"DEPT", u"BONUS"}));
  EXPECT_EQ(oracle.oracle_database_name(), u"OTHER");
  // The one session is the new one.
  EXPECT_EQ(oracle.oracle_engine().get_records_cnt(u"BONUS"), 0);
  EXPECT_THROW(oracle.oracle_engine().get_records_cnt(u"EMP"), ora_exception);
}

TEST(OracleConnectionFromProfile, AProfileWithoutAHostConnectsToThisMachine) {
  ora_test_home home;
  home.create_user("DB", "SCOTT", "tiger");
  home.make_current();
  oracle_converter_impl oracle;
  udb_profile profile;
  profile.set_value(u"Oracle settings", u"user", u"scott");
  profile.set_value(u"Oracle settings", u"password", u"tiger");
  oracle.load_profile(profile);
  ASSERT_EQ(oracle.oracle_host(), u"");
  EXPECT_EQ(oracle.connect_oracle_server(u"DB").name(), u"//localhost:1521/DB");
}

TEST_F(OracleConnection, AFailedLogonIsAnOracleErrorAndLeavesNoConnection) {
  oracle.connect_oracle_server(u"DB");
  oracle.store_oracle_settings(u"localhost", u"scott", u"lion", u"1521");
  try {
    oracle.connect_oracle_server(u"OTHER");
    FAIL() << "logged on with a wrong password";
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.code(), 0x1003F9u);  // ORA-01017
    EXPECT_EQ(e.level(), 0);
  }
  EXPECT_EQ(oracle.source_database(), nullptr);
  EXPECT_EQ(oracle.oracle_database_name(), u"DB");
  EXPECT_FALSE(oracle.oracle_engine().is_logged_on());
}

TEST_F(OracleConnection, QueryChecksAnswerWithoutThrowingAndKeepTheConnection) {
  // Not connected and no database name: the connection cannot be made.
  EXPECT_FALSE(oracle.test_oracle_query(u"SELECT * FROM EMP"));
  EXPECT_EQ(oracle.source_database(), nullptr);

  udb_database& db = oracle.connect_oracle_server(u"DB");
  EXPECT_TRUE(oracle.test_oracle_query(u"SELECT ID FROM EMP"));
  EXPECT_FALSE(oracle.test_oracle_query(u"SELECT ID FROM"));
  EXPECT_FALSE(oracle.test_oracle_query(u"SELECT * FROM NO_SUCH_TABLE"));
  EXPECT_EQ(oracle.last_query_error(), "ORA-00942: table or view does not exist");
  EXPECT_TRUE(oracle.test_oracle_query(u"SELECT ID FROM EMP"));
  EXPECT_EQ(oracle.last_query_error(), "");  // a test that passed has no reason
  EXPECT_EQ(oracle.source_database(), &db);
  EXPECT_EQ(oracle.oracle_engine().get_records_cnt(u"EMP"), 1);
}

TEST_F(OracleConnection, AFrontEndThatLogsOnOnceKeepsThePasswordNoLongerThanTheLogon) {
  // Kept by default: the wizard stores it and may log on again.
  oracle.connect_oracle_server(u"DB");
  EXPECT_EQ(oracle.oracle_password(), u"tiger");

  oracle.forget_password_after_logon(true);
  udb_database& db = oracle.connect_oracle_server(u"DB");
  EXPECT_EQ(oracle.oracle_password(), u"");
  EXPECT_TRUE(oracle.test_oracle_query(u"SELECT ID FROM EMP"));  // the session lives on
  EXPECT_EQ(oracle.source_database(), &db);

  oracle.store_oracle_settings(u"localhost", u"scott", u"lion", u"1521");
  EXPECT_THROW(oracle.connect_oracle_server(u"DB"), ora_exception);
  EXPECT_EQ(oracle.oracle_password(), u"") << "a failed logon forgets it too";
}

TEST(OracleConnectionFromProfile, TheAgentsConverterForgetsThePasswordOnceLoggedOn) {
  ora_test_home home;
  home.create_user("DB", "SCOTT", "tiger");
  home.make_current();
  dunmarrow_convertor agent(dmw_front_end::agent);
  agent.store_oracle_settings(u"", u"scott", u"tiger", u"1521");
  agent.connect_oracle_server(u"DB");
  EXPECT_EQ(agent.oracle_password(), u"");
  EXPECT_NE(agent.source_database(), nullptr);
}
