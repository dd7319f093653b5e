// The agent's options, modes and error reporting as a user meets them: each
// run's Access file is read back by mdb-reader and mdbtools.
#include <gtest/gtest.h>

#include "e2e_util.h"

namespace fs = std::filesystem;

namespace {
const std::string kDuplicate =
    "Duplicate field values being used for an unique index were found. See 'Troubleshooting' article of the "
    "product documentation for solution.";

const std::string kShop =
    "CREATE TABLE ITEMS (ID NUMBER(6) PRIMARY KEY, NAME VARCHAR2(20) NOT NULL, QTY NUMBER(4) DEFAULT 1);\n"
    "CREATE UNIQUE INDEX UX_ITEMS_NAME ON ITEMS (NAME);\n"
    "INSERT INTO ITEMS VALUES (1, 'bolt', 100);\n"
    "INSERT INTO ITEMS VALUES (2, 'nut', 1);\n"
    "INSERT INTO ITEMS VALUES (3, 'washer', 40);\n"
    "CREATE TABLE NOTES (N NUMBER(4), TXT VARCHAR2(100));\n"
    "INSERT INTO NOTES VALUES (1, 'first');\n"
    "INSERT INTO NOTES VALUES (2, 'second');\n";

// The same tables with other rows, and one table more.
const std::string kShopLater =
    "CREATE TABLE ITEMS (ID NUMBER(6) PRIMARY KEY, NAME VARCHAR2(20) NOT NULL, QTY NUMBER(4) DEFAULT 1);\n"
    "CREATE UNIQUE INDEX UX_ITEMS_NAME ON ITEMS (NAME);\n"
    "INSERT INTO ITEMS VALUES (4, 'rivet', 7);\n"
    "INSERT INTO ITEMS VALUES (5, 'spring', 9);\n"
    "CREATE TABLE NOTES (N NUMBER(4), TXT VARCHAR2(100));\n"
    "INSERT INTO NOTES VALUES (9, 'later');\n"
    "CREATE TABLE EXTRA (X NUMBER(4));\n"
    "INSERT INTO EXTRA VALUES (42);\n";

class AgentEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = readers_missing(); !why.empty()) GTEST_SKIP() << why;
  }
  std::vector<std::string> rows(const std::string& file, const std::string& table) {
    return mdb_reader_rows(folder / file, table);
  }
  std::vector<std::string> tables(const std::string& file) { return mdbtools_tables(folder / file); }

  scratch_folder folder;
};

using lines = std::vector<std::string>;
}  // namespace

TEST_F(AgentEndToEnd, DefinitionsOnlyAndSkippedIndexes) {
  const oracle_home shop(folder, "shop", kShop);
  agent_run r = shop.convert(folder, {"--dest=defs", "--acc_ver=1", "--tab_def"});
  EXPECT_EQ(r.out, "Converting database DB(2 tables)\nConverting table ITEMS(3 records)\n"
                   "Converting table NOTES(2 records)\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(join(mdb_reader_facts(folder / "defs.mdb"), "\n"),
            "table ITEMS\ncolumn ID long 4 required\ncolumn NAME text 20 required\ncolumn QTY integer 2 optional\n"
            "table NOTES\ncolumn N integer 2 optional\ncolumn TXT text 100 optional");
  EXPECT_EQ(mdbtools_indexes(folder / "defs.mdb"),
            (lines{"ALTER TABLE `ITEMS` ADD PRIMARY KEY (`ID`);",
                   "ALTER TABLE `ITEMS` ADD UNIQUE INDEX `UX_ITEMS_NAME` (`NAME`);"}));

  r = shop.convert(folder, {"--dest=bare", "--acc_ver=1", "--skip_idx"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(rows("bare.mdb", "ITEMS"), (lines{"1\tbolt\t100", "2\tnut\t1", "3\twasher\t40"}));
  EXPECT_EQ(rows("bare.mdb", "NOTES"), (lines{"1\tfirst", "2\tsecond"}));
  EXPECT_EQ(mdbtools_indexes(folder / "bare.mdb"), lines{});
}

TEST_F(AgentEndToEnd, TableNamesFileConvertsTheListedTablesOnly) {
  const oracle_home shop(folder, "shop", kShop);
  folder.write("tables.txt", "NOTES\nGONE\n");
  const agent_run r = shop.convert(folder, {"--dest=listed", "--acc_ver=1", "--tab_file=tables.txt"});
  EXPECT_EQ(r.out, "Converting database DB(2 tables)\nConverting table NOTES(2 records)\n");
  EXPECT_EQ(r.err, "Table GONE not exists\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(tables("listed.mdb"), lines{"NOTES"});
  EXPECT_EQ(rows("listed.mdb", "NOTES"), (lines{"1\tfirst", "2\tsecond"}));
}

TEST_F(AgentEndToEnd, ProfileSelectsTablesAndStoresUserQueriesAsTables) {
  const oracle_home shop(folder, "shop", kShop);
  folder.write("run.dmw",
               "[Generic settings]\r\ndest=" + (folder / "profiled.mdb").string() + "\r\nsrc=DB\r\n\r\n"
               "[MS Access settings]\r\ndestination format=1\r\n\r\n"
               "[Oracle settings]\r\nhost=localhost\r\npassword=tiger\r\nuser=SCOTT\r\n\r\n"
               "[Selected Tables]\r\nBROKEN=select NOPE from ITEMS\r\nNOTES\r\n"
               "STOCKED=select ID, NAME from ITEMS where QTY > 1\r\n\r\n");
  const agent_run r = run_agent({"--profile=run.dmw"}, folder.path(), shop.environment());
  // Oracle refuses the first query: that entry is reported and the run goes on.
  EXPECT_EQ(r.out, "Converting database DB(1 tables)\nError:\nBROKEN: ORA-00904: \"NOPE\": invalid identifier\n"
                   "Converting table NOTES(2 records)\nConverting table STOCKED(2 records)\n");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(tables("profiled.mdb"), (lines{"NOTES", "STOCKED"}));
  EXPECT_EQ(mdb_reader_facts(folder / "profiled.mdb", {"STOCKED"}),
            (lines{"table STOCKED", "column ID long 4 required", "column NAME text 20 required", "row 1\tbolt",
                   "row 3\twasher"}));
  // A query has no indexes of its own.
  EXPECT_EQ(mdbtools_indexes(folder / "profiled.mdb"), lines{});
}

TEST_F(AgentEndToEnd, ModesAgainstOurOwnFile) {
  const oracle_home before(folder, "before", kShop);
  const oracle_home later(folder, "later", kShopLater);
  ASSERT_EQ(before.convert(folder, {"--dest=shop", "--acc_ver=1"}).exit_code, 0);
  const lines items_before{"1\tbolt\t100", "2\tnut\t1", "3\twasher\t40"};

  // 2: existing tables stay as they are, without a word; new ones are added.
  agent_run r = later.convert(folder, {"--dest=shop", "--acc_ver=1", "--mode=2"});
  EXPECT_EQ(r.out, "Converting database DB(3 tables)\nConverting table EXTRA(1 records)\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(rows("shop.mdb", "ITEMS"), items_before);
  EXPECT_EQ(rows("shop.mdb", "EXTRA"), lines{"42"});

  // 1: a listed table is replaced; the others stay.
  folder.write("items.txt", "ITEMS\n");
  r = later.convert(folder, {"--dest=shop", "--acc_ver=1", "--mode=1", "--tab_file=items.txt"});
  EXPECT_EQ(r.out, "Converting database DB(1 tables)\nConverting table ITEMS(2 records)\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(rows("shop.mdb", "ITEMS"), (lines{"4\trivet\t7", "5\tspring\t9"}));
  EXPECT_EQ(rows("shop.mdb", "NOTES"), (lines{"1\tfirst", "2\tsecond"}));

  // 3: rows are appended to what is there.
  r = before.convert(folder, {"--dest=shop", "--acc_ver=1", "--mode=3", "--tab_file=items.txt"});
  EXPECT_EQ(r.out, "Converting database DB(1 tables)\nConverting table ITEMS(3 records)\n");
  EXPECT_EQ(rows("shop.mdb", "ITEMS"),
            (lines{"1\tbolt\t100", "2\tnut\t1", "3\twasher\t40", "4\trivet\t7", "5\tspring\t9"}));

  // 0: the file is made anew: the table only the later schema has is gone.
  r = before.convert(folder, {"--dest=shop", "--acc_ver=1", "--mode=0"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(tables("shop.mdb"), (lines{"ITEMS", "NOTES"}));
  EXPECT_EQ(rows("shop.mdb", "ITEMS"), items_before);
  const shell_result check = shell(std::string(JETUTIL_PATH) + " check " + quoted((folder / "shop.mdb").string()));
  EXPECT_EQ(check.exit_code, 0) << check.out;
}

TEST_F(AgentEndToEnd, ModesAgainstFilesAccessMade) {
  const fs::path made = fs::path(DMW_SHARED_DIR) / "testdata/access/jet4/indexTestV2000.mdb";
  if (!fs::exists(made)) GTEST_SKIP() << "no Access-made file at " << made;
  const oracle_home source(folder, "source",
                           "CREATE TABLE \"Table2\" (\"id\" NUMBER(9), \"data\" VARCHAR2(50));\n"
                           "INSERT INTO \"Table2\" VALUES (7, 'ours7');\n"
                           "CREATE TABLE \"Table3\" (\"id\" NUMBER(9), \"data\" VARCHAR2(50));\n"
                           "INSERT INTO \"Table3\" VALUES (8, 'ours8');\n"
                           "CREATE TABLE \"Fresh\" (\"id\" NUMBER(9));\n"
                           "INSERT INTO \"Fresh\" VALUES (1);\n");
  const lines table1 = mdb_reader_rows(made, "Table1");
  const lines table2{"0\tfoo0", "1\tfoo1", "2\tfoo2"};
  ASSERT_EQ(mdb_reader_rows(made, "Table2"), table2);
  for (const char* name : {"skip.mdb", "replace.mdb", "merge.mdb", "anew.mdb"}) {
    // The shared originals are read-only; their copies must not be.
    fs::copy_file(made, folder / name);
    fs::permissions(folder / name, fs::perms::owner_write, fs::perm_options::add);
  }

  agent_run r = source.convert(folder, {"--dest=skip", "--acc_ver=1", "--mode=2"});
  EXPECT_EQ(r.out, "Converting database DB(3 tables)\nConverting table Fresh(1 records)\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(rows("skip.mdb", "Table2"), table2);

  // Access made Table3 the target of a relationship: it cannot be replaced,
  // which is reported for that table; the run goes on with the next one.
  folder.write("t3.txt", "Table3\nFresh\n");
  r = source.convert(folder, {"--dest=replace", "--acc_ver=1", "--mode=1", "--tab_file=t3.txt"});
  EXPECT_EQ(r.out, "Converting database DB(2 tables)\nConverting table Fresh(1 records)\nError:\n"
                   "Table3: Cannot delete the table; it takes part in one or more relationships.\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(tables("replace.mdb"), (lines{"Fresh", "Table1", "Table2", "Table3"}));
  EXPECT_EQ(rows("replace.mdb", "Table3"), mdb_reader_rows(made, "Table3"));
  EXPECT_EQ(rows("replace.mdb", "Table1"), table1);
  EXPECT_EQ(rows("replace.mdb", "Fresh"), lines{"1"});

  folder.write("t2.txt", "Table2\n");
  r = source.convert(folder, {"--dest=merge", "--acc_ver=1", "--mode=3", "--tab_file=t2.txt"});
  EXPECT_EQ(r.out, "Converting database DB(1 tables)\nConverting table Table2(1 records)\n");
  EXPECT_EQ(rows("merge.mdb", "Table2"), (lines{"0\tfoo0", "1\tfoo1", "2\tfoo2", "7\tours7"}));

  r = source.convert(folder, {"--dest=anew", "--acc_ver=1", "--mode=0"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(tables("anew.mdb"), (lines{"Fresh", "Table2", "Table3"}));
  EXPECT_EQ(rows("anew.mdb", "Table2"), lines{"7\tours7"});
}

TEST_F(AgentEndToEnd, RecordAccessRefusesIsReportedAndTheRestIsCopied) {
  // Distinct keys for Oracle, one key for Access, which compares text without case.
  const oracle_home codes(folder, "codes",
                          "CREATE TABLE CODES (C VARCHAR2(10) PRIMARY KEY, N NUMBER(4));\n"
                          "INSERT INTO CODES VALUES ('abc', 1);\n"
                          "INSERT INTO CODES VALUES ('ABC', 2);\n"
                          "INSERT INTO CODES VALUES ('xyz', 3);\n");
  agent_run r = codes.convert(folder, {"--dest=codes", "--acc_ver=1", "--logfile=run.log"});
  EXPECT_EQ(r.out, "Converting database DB(1 tables)\nConverting table CODES(3 records)\n"
                   "Error:\nCODES, record #2: " + kDuplicate + "\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(rows("codes.mdb", "CODES"), (lines{"abc\t1", "xyz\t3"}));
  const std::string log = read_file(folder / "run.log");
  const size_t started = log.find("Conversion started on "), table = log.find("Converting table CODES (3 records)\r\n");
  ASSERT_NE(started, std::string::npos) << log;
  ASSERT_NE(table, std::string::npos) << log;
  EXPECT_LT(started, table);
  EXPECT_GT(log.find("Conversion ended on "), table) << log;
  // The trace keeps the message's own line breaks.
  EXPECT_NE(log.find("CODES, record #2: Duplicate field values being used for an unique index were found."),
            std::string::npos) << log;

  // Silent: nothing on the console, the same outcome in the file.
  r = codes.convert(folder, {"--dest=quiet", "--acc_ver=1", "--silent"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(rows("quiet.mdb", "CODES"), (lines{"abc\t1", "xyz\t3"}));
}
