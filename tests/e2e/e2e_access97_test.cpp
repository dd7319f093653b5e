// Access 95/97 destinations end to end: the demonstration schema converted
// into an Access 97 file holds what its Access 2000 conversion holds, but for
// the characters code page 1252 lacks, stored as '?' and reported; the modes
// work on our own files and on files Access made, which keep their format.
#include <gtest/gtest.h>

#include "e2e_util.h"
#include "platform/code_page_table.h"
#include "platform/codepage.h"

namespace fs = std::filesystem;

namespace {

using lines = std::vector<std::string>;

// What an Access 97 file of code page 1252 stores for a text: '?' for each
// UTF-16 unit the code page lacks.
std::string as_code_page_1252_stores_it(const std::string& utf8) {
  const platform::code_page_table& table = *platform::code_page_table::find(1252);
  std::u16string text = platform::utf8_to_utf16(utf8);
  uint8_t byte;
  for (char16_t& unit : text)
    if (!table.from_unicode(unit, byte)) unit = u'?';
  return platform::utf16_to_utf8(text);
}

uint8_t version_byte(const fs::path& file) {
  const std::string bytes = read_file(file);
  return bytes.size() > 0x14 ? uint8_t(bytes[0x14]) : 0xff;
}

class Access97Conversion : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!readers_missing().empty()) return;
    folder_ = new scratch_folder;
    run97_ = new agent_run(oracle_home::demo().convert(*folder_, {"--dest=demo97", "--acc_ver=0", "--logfile=run.log"}));
    run2000_ = new agent_run(oracle_home::demo().convert(*folder_, {"--dest=demo2000", "--acc_ver=1"}));
  }
  static void TearDownTestSuite() {
    delete run97_;
    delete run2000_;
    delete folder_;
  }
  void SetUp() override {
    if (const std::string why = readers_missing(); !why.empty()) GTEST_SKIP() << why;
    ASSERT_EQ(run97_->exit_code, 0) << run97_->out << run97_->err;
    ASSERT_EQ(run2000_->exit_code, 0) << run2000_->out << run2000_->err;
  }
  static fs::path file97() { return *folder_ / "demo97.mdb"; }
  static fs::path file2000() { return *folder_ / "demo2000.mdb"; }

  static scratch_folder* folder_;
  static agent_run* run97_;
  static agent_run* run2000_;
};
scratch_folder* Access97Conversion::folder_ = nullptr;
agent_run* Access97Conversion::run97_ = nullptr;
agent_run* Access97Conversion::run2000_ = nullptr;

}  // namespace

TEST_F(Access97Conversion, TheFileIsAnAccess97FileEveryReaderReads) {
  EXPECT_EQ(run97_->out, run2000_->out);  // the same progress lines
  EXPECT_EQ(version_byte(file97()), 0);
  EXPECT_EQ(version_byte(file2000()), 1);
  const shell_result version = shell("mdb-ver " + quoted(file97().string()));
  EXPECT_EQ(version.out, "JET3\n");
  const shell_result check = shell(std::string(JETUTIL_PATH) + " check " + quoted(file97().string()) + " 2>&1");
  EXPECT_EQ(check.exit_code, 0) << check.out;
  const shell_result compared =
      shell(std::string(JETUTIL_PATH) + " dump " + quoted(file97().string()) + " > " +
            quoted((*folder_ / "demo97.json").string()) + " && node " +
            quoted(std::string(DMW_SOURCE_DIR) + "/tools/readers/compare.mjs") + " " +
            quoted((*folder_ / "demo97.json").string()) + " " + quoted(file97().string()) + " 2>&1");
  EXPECT_EQ(compared.exit_code, 0) << compared.out;
  EXPECT_EQ(mdbtools_tables(file97()), mdbtools_tables(file2000()));
  for (const std::string& table : mdbtools_tables(file97()))
    EXPECT_EQ(mdbtools_row_count(file97(), table), mdb_reader_rows(file97(), table).size()) << table;
}

TEST_F(Access97Conversion, ColumnsIndexesAndRowsAreThoseOfTheAccess2000FileButForUnstorableCharacters) {
  const lines facts97 = mdb_reader_facts(file97());
  const lines facts2000 = mdb_reader_facts(file2000());
  ASSERT_EQ(facts97.size(), facts2000.size());
  size_t replaced = 0;
  for (size_t i = 0; i < facts97.size(); ++i) {
    const std::string expected = as_code_page_1252_stores_it(facts2000[i]);
    if (expected != facts2000[i]) ++replaced;
    EXPECT_EQ(facts97[i], expected);
  }
  EXPECT_GT(replaced, 3u) << "the demonstration schema holds Greek, Cyrillic and CJK text";
  EXPECT_EQ(mdbtools_indexes(file97()), mdbtools_indexes(file2000()));
}

TEST_F(Access97Conversion, TablesWithUnstorableCharactersAreReportedOnStandardErrorAndInTheTrace) {
  const std::string tail = " values held characters that Access 95/97 cannot store; they were written as '?'";
  EXPECT_EQ(run97_->err, "Table DEPARTMENTS: 1" + tail + "\nTable EMPLOYEES: 5" + tail + "\nTable PROJECTS: 1" +
                             tail + "\n");
  EXPECT_EQ(run2000_->err, "");
  const std::string trace = read_file(*folder_ / "run.log");
  EXPECT_NE(trace.find("Table EMPLOYEES: 5" + tail), std::string::npos) << trace;
}

namespace {

class Access97Modes : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = readers_missing(); !why.empty()) GTEST_SKIP() << why;
  }
  lines rows(const std::string& file, const std::string& table) { return mdb_reader_rows(folder / file, table); }
  bool consistent(const std::string& file) {
    return shell(std::string(JETUTIL_PATH) + " check " + quoted((folder / file).string())).exit_code == 0;
  }
  scratch_folder folder;
};

}  // namespace

TEST_F(Access97Modes, EachModeOnAFileAccessMadeKeepsItAnAccess97File) {
  const fs::path made = fs::path(DMW_SHARED_DIR) / "testdata/access/jet3/indexTestV1997.mdb";
  if (!fs::exists(made)) GTEST_SKIP() << "no Access-made file at " << made;
  const oracle_home source(folder, "source",
                           "CREATE TABLE \"Table2\" (\"id\" NUMBER(9), \"data\" VARCHAR2(50));\n"
                           "INSERT INTO \"Table2\" VALUES (7, 'ours7 \xC4\x8C');\n"
                           "CREATE TABLE \"Table3\" (\"id\" NUMBER(9), \"data\" VARCHAR2(50));\n"
                           "INSERT INTO \"Table3\" VALUES (8, 'ours8');\n"
                           "CREATE TABLE \"Fresh\" (\"id\" NUMBER(9), \"t\" VARCHAR2(20));\n"
                           "INSERT INTO \"Fresh\" VALUES (1, 'Gr\xC3\xBC\xC3\x9F" "e');\n");
  const lines table1 = mdb_reader_rows(made, "Table1");
  const lines table2{"0\tfoo0", "1\tfoo1", "2\tfoo2"};
  ASSERT_EQ(mdb_reader_rows(made, "Table2"), table2);
  for (const char* name : {"skip.mdb", "replace.mdb", "merge.mdb", "anew.mdb"}) {
    fs::copy_file(made, folder / name);
    fs::permissions(folder / name, fs::perms::owner_write, fs::perm_options::add);
  }

  // 2: existing tables stay; the new one is made in the file's own format,
  // whatever format the options name.
  agent_run r = source.convert(folder, {"--dest=skip", "--acc_ver=1", "--mode=2"});
  EXPECT_EQ(r.out, "Converting database DB(3 tables)\nConverting table Fresh(1 records)\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(rows("skip.mdb", "Table2"), table2);
  EXPECT_EQ(rows("skip.mdb", "Fresh"), lines{"1\tGr\xC3\xBC\xC3\x9F" "e"});
  EXPECT_EQ(version_byte(folder / "skip.mdb"), 0);
  EXPECT_TRUE(consistent("skip.mdb"));

  // 1: Table3 is the target of a relationship Access made: it stays, and the
  // refusal is reported for that table.
  folder.write("t3.txt", "Table3\nFresh\n");
  r = source.convert(folder, {"--dest=replace", "--acc_ver=0", "--mode=1", "--tab_file=t3.txt"});
  EXPECT_EQ(r.out, "Converting database DB(2 tables)\nConverting table Fresh(1 records)\nError:\n"
                   "Table3: Cannot delete the table; it takes part in one or more relationships.\n");
  EXPECT_EQ(rows("replace.mdb", "Table3"), mdb_reader_rows(made, "Table3"));
  EXPECT_EQ(rows("replace.mdb", "Table1"), table1);
  EXPECT_TRUE(consistent("replace.mdb"));

  // 3: rows are added to Access's table; Č has no byte in code page 1252.
  folder.write("t2.txt", "Table2\n");
  r = source.convert(folder, {"--dest=merge", "--acc_ver=1", "--mode=3", "--tab_file=t2.txt"});
  EXPECT_EQ(r.out, "Converting database DB(1 tables)\nConverting table Table2(1 records)\n");
  EXPECT_EQ(r.err, "Table Table2: 1 values held characters that Access 95/97 cannot store; they were written as '?'\n");
  EXPECT_EQ(rows("merge.mdb", "Table2"), (lines{"0\tfoo0", "1\tfoo1", "2\tfoo2", "7\tours7 ?"}));
  EXPECT_EQ(rows("merge.mdb", "Table1"), table1);
  EXPECT_EQ(version_byte(folder / "merge.mdb"), 0);
  EXPECT_TRUE(consistent("merge.mdb"));

  // 0: the file is made anew, in the format the options name.
  r = source.convert(folder, {"--dest=anew", "--acc_ver=0", "--mode=0"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(mdbtools_tables(folder / "anew.mdb"), (lines{"Fresh", "Table2", "Table3"}));
  EXPECT_EQ(version_byte(folder / "anew.mdb"), 0);
  EXPECT_TRUE(consistent("anew.mdb"));
}

TEST_F(Access97Modes, ModesOnOurOwnAccess97File) {
  const oracle_home before(folder, "before",
                           "CREATE TABLE ITEMS (ID NUMBER(6) PRIMARY KEY, NAME VARCHAR2(20) NOT NULL);\n"
                           "CREATE UNIQUE INDEX UX_ITEMS_NAME ON ITEMS (NAME);\n"
                           "INSERT INTO ITEMS VALUES (1, 'bolt');\n"
                           "INSERT INTO ITEMS VALUES (2, 'nut');\n");
  const oracle_home later(folder, "later",
                          "CREATE TABLE ITEMS (ID NUMBER(6) PRIMARY KEY, NAME VARCHAR2(20) NOT NULL);\n"
                          "CREATE UNIQUE INDEX UX_ITEMS_NAME ON ITEMS (NAME);\n"
                          "INSERT INTO ITEMS VALUES (3, 'rivet');\n"
                          "INSERT INTO ITEMS VALUES (4, 'NUT');\n");
  ASSERT_EQ(before.convert(folder, {"--dest=shop", "--acc_ver=0"}).exit_code, 0);
  EXPECT_EQ(version_byte(folder / "shop.mdb"), 0);

  // 3: a key Access 97 compares without case ("NUT" against "nut") is refused
  // for that record; the others are added.
  agent_run r = later.convert(folder, {"--dest=shop", "--acc_ver=0", "--mode=3"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("ITEMS, record #2: "), std::string::npos) << r.out;
  EXPECT_EQ(rows("shop.mdb", "ITEMS"), (lines{"1\tbolt", "2\tnut", "3\trivet"}));
  EXPECT_TRUE(consistent("shop.mdb"));

  // 1: the table is made again from the later rows.
  r = later.convert(folder, {"--dest=shop", "--acc_ver=0", "--mode=1"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(rows("shop.mdb", "ITEMS"), (lines{"3\trivet", "4\tNUT"}));
  EXPECT_EQ(version_byte(folder / "shop.mdb"), 0);
  EXPECT_TRUE(consistent("shop.mdb"));
}
