// The demonstration schema converted into an Access 2000 file, read back by
// mdb-reader, mdbtools and jetutil and compared with what ocilite serves
// once Oracle's types have become Access's.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "e2e_util.h"

namespace fs = std::filesystem;

namespace {
// Oracle's RPAD over characters (all of them single UTF-16 units here).
std::string rpad(const std::string& text, size_t characters, const std::string& pad) {
  auto count = [](const std::string& s) {
    return static_cast<size_t>(std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
  };
  std::string out = text;
  size_t have = count(out);
  for (size_t i = 0; have < characters; i = (i + 1) % pad.size()) {
    out += pad[i];
    if (i + 1 >= pad.size() || (pad[i + 1] & 0xC0) != 0x80) ++have;
  }
  return out;
}

// A value set by SYSDATE when the schema was loaded: any well-formed time.
void mask_now(std::vector<std::string>& rows, const std::string& row_start, size_t field) {
  static const std::regex stamp(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)");
  for (std::string& row : rows) {
    if (row.rfind(row_start, 0) != 0) continue;
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = row.find('\t', start)) != std::string::npos; start = tab + 1)
      fields.push_back(row.substr(start, tab - start));
    fields.push_back(row.substr(start));
    ASSERT_LT(field, fields.size()) << row;
    EXPECT_TRUE(std::regex_match(fields[field], stamp)) << row;
    fields[field] = "<now>";
    row = join(fields, "\t");
  }
}

class DemoConversion : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!readers_missing().empty()) return;
    folder_ = new scratch_folder;
    run_ = new agent_run(oracle_home::demo().convert(*folder_, {"--dest=demo", "--acc_ver=1"}));
  }
  static void TearDownTestSuite() {
    delete run_;
    delete folder_;
  }
  void SetUp() override {
    if (const std::string why = readers_missing(); !why.empty()) GTEST_SKIP() << why;
    ASSERT_EQ(run_->exit_code, 0) << run_->out << run_->err;
  }
  static fs::path file() { return *folder_ / "demo.mdb"; }

  static scratch_folder* folder_;
  static agent_run* run_;
};
scratch_folder* DemoConversion::folder_ = nullptr;
agent_run* DemoConversion::run_ = nullptr;
}  // namespace

TEST_F(DemoConversion, EveryTableIsConvertedWithoutErrors) {
  EXPECT_EQ(run_->out,
            "Converting database DEMO(5 tables)\n"
            "Converting table ASSIGNMENTS(4 records)\n"
            "Converting table DEPARTMENTS(4 records)\n"
            "Converting table EMPLOYEES(5 records)\n"
            "Converting table Office Equipment(2 records)\n"
            "Converting table PROJECTS(3 records)\n");
  EXPECT_EQ(run_->err, "");
  // The view is no table; mdbtools sees the same user tables as mdb-reader.
  EXPECT_EQ(mdbtools_tables(file()),
            (std::vector<std::string>{"ASSIGNMENTS", "DEPARTMENTS", "EMPLOYEES", "Office Equipment", "PROJECTS"}));
  for (const std::string& table : mdbtools_tables(file()))
    EXPECT_EQ(mdbtools_row_count(file(), table), mdb_reader_rows(file(), table).size()) << table;
  const shell_result check = shell(std::string(JETUTIL_PATH) + " check " + quoted(file().string()) + " 2>&1");
  EXPECT_EQ(check.exit_code, 0) << check.out;
}

TEST_F(DemoConversion, ColumnsFollowTheTypeMapsWithTheirRequiredFlags) {
  std::vector<std::string> columns;
  for (const std::string& line : mdb_reader_facts(file()))
    if (line.rfind("row ", 0) != 0) columns.push_back(line);
  EXPECT_EQ(join(columns, "\n"),
            "table ASSIGNMENTS\n"
            "column EMP_ID double 8 required\n"
            "column DEPT_ID integer 2 required\n"
            "column PROJ_NO integer 2 required\n"
            "column ROLE text 20 optional\n"
            "column HOURS_WEEK double 8 optional\n"
            "column TIME_SPENT text 16 optional\n"
            "table DEPARTMENTS\n"
            "column DEPT_ID integer 2 required\n"
            "column NAME text 30 required\n"
            "column LOCATION text 40 optional\n"
            "column CODE text 3 required\n"
            "column BUDGET double 8 optional\n"
            "column FOUNDED datetime 8 optional\n"
            "column LOGO ole 0 optional\n"
            "table EMPLOYEES\n"
            "column EMP_ID double 8 required\n"
            "column FIRST_NAME text 20 optional\n"
            "column LAST_NAME text 30 required\n"
            "column INITIALS text 3 optional\n"
            "column EMAIL text 60 optional\n"
            "column DEPT_ID integer 2 optional\n"
            "column MANAGER_ID double 8 optional\n"
            "column HIRED datetime 8 required\n"
            "column LAST_LOGIN datetime 8 optional\n"
            "column SALARY double 8 optional\n"
            "column COMMISSION double 8 optional\n"
            "column RATING double 8 optional\n"
            "column HEIGHT_M float 4 optional\n"
            "column WEIGHT_KG double 8 optional\n"
            "column BADGE binary 8 optional\n"
            "column ACTIVE text 1 required\n"
            "column NOTES text 200 optional\n"
            "table Office Equipment\n"
            "column Item Id long 4 required\n"
            "column Description text 50 optional\n"
            "column FIRMWARE ole 0 optional\n"
            "column LOCATOR text 255 optional\n"
            "column MANUAL text 18 required\n"
            "column PURCHASED datetime 8 optional\n"
            "column PRICE double 8 optional\n"
            "table PROJECTS\n"
            "column DEPT_ID integer 2 required\n"
            "column PROJ_NO integer 2 required\n"
            "column TITLE text 60 required\n"
            "column STARTED datetime 8 optional\n"
            "column REVIEWED datetime 8 optional\n"
            "column DURATION text 16 optional\n"
            "column COST double 8 optional\n"
            "column PLAN_TEXT memo 0 optional\n"
            "column SUMMARY memo 0 optional\n"
            "column HISTORY memo 0 optional");
}

TEST_F(DemoConversion, DefaultsAreQuotedAndDateDefaultsDropped) {
  using lines = std::vector<std::string>;
  EXPECT_EQ(mdbtools_defaults(file(), "ASSIGNMENTS"), lines{"ROLE=\"member\""});
  // FOUNDED's SYSDATE is no value Access could hold.
  EXPECT_EQ(mdbtools_defaults(file(), "DEPARTMENTS"), (lines{"CODE=\"GEN\"", "BUDGET=0"}));
  EXPECT_EQ(mdbtools_defaults(file(), "EMPLOYEES"), (lines{"ACTIVE=\"Y\"", "NOTES=\"it's new\""}));
  EXPECT_EQ(mdbtools_defaults(file(), "PROJECTS"), lines{});
}

TEST_F(DemoConversion, IndexesAreCopiedAndNoRelationshipIsCreated) {
  EXPECT_EQ(join(mdbtools_indexes(file()), "\n"),
            "ALTER TABLE `ASSIGNMENTS` ADD INDEX `IX_ASSIGNMENTS_PROJECT` (`DEPT_ID`, `PROJ_NO`);\n"
            "ALTER TABLE `ASSIGNMENTS` ADD PRIMARY KEY (`EMP_ID`, `DEPT_ID`, `PROJ_NO`);\n"
            "ALTER TABLE `DEPARTMENTS` ADD PRIMARY KEY (`DEPT_ID`);\n"
            "ALTER TABLE `DEPARTMENTS` ADD UNIQUE INDEX `UQ_DEPARTMENTS_NAME` (`NAME`);\n"
            "ALTER TABLE `EMPLOYEES` ADD INDEX `IX_EMPLOYEES_NAME` (`LAST_NAME`, `FIRST_NAME`);\n"
            "ALTER TABLE `EMPLOYEES` ADD PRIMARY KEY (`EMP_ID`);\n"
            "ALTER TABLE `Office Equipment` ADD PRIMARY KEY (`Item Id`);\n"
            "ALTER TABLE `PROJECTS` ADD PRIMARY KEY (`DEPT_ID`, `PROJ_NO`);\n"
            "ALTER TABLE `PROJECTS` ADD UNIQUE INDEX `UX_PROJECTS_TITLE` (`TITLE`);");
  // The schema has four foreign keys; Access gets none of them.
  EXPECT_EQ(mdbtools_row_count(file(), "MSysRelationships"), 0u);
}

TEST_F(DemoConversion, ValuesOfKeysNumbersTextAndIntervals) {
  EXPECT_EQ(join(mdb_reader_rows(file(), "ASSIGNMENTS"), "\n"),
            "7566\t20\t1\tlead\t30\t+12 06:30:00.25\n"
            "7698\t20\t1\tmember\t20.5\t+03 00:00:00.00\n"
            "7698\t20\t2\tanalyst\tNULL\tNULL\n"
            "7839\t10\t1\tmember\t4\tNULL");
  EXPECT_EQ(join(mdb_reader_rows(file(), "Office Equipment"), "\n"),
            "1\tLaptop “Falcon”\t0xdeadbeef00c0ffee\tAAAR3sAAEAAAACXAAA\t<unsupported type>\t2022-09-01 00:00:00\t1499.99\n"
            "2\tNULL\tNULL\tNULL\t<unsupported type>\tNULL\tNULL");
}

TEST_F(DemoConversion, ValuesOfDatesDefaultsAndLongBinary) {
  std::vector<std::string> rows = mdb_reader_rows(file(), "DEPARTMENTS");
  mask_now(rows, "40\t", 5);
  const std::string logo = "0x" + rpad("89504e470d0a1a0a", 140000, "00ff7f80");
  EXPECT_EQ(join(rows, "\n"),
            "10\tAccounting\tZürich\tACC\t250000.5\t1998-03-15 00:00:00\t" + logo + "\n"
            "20\tResearch & Development\tТрондхейм\tRND\t1200000\t2001-11-02 09:30:00\t0x\n"
            "30\tSales\tNULL\tGEN\t0\t2010-01-01 00:00:00\tNULL\n"
            "40\tOperations\tNULL\tGEN\t0\t<now>\tNULL");
}

TEST_F(DemoConversion, ValuesOfTimeZonesIntervalsAndLongText) {
  const std::string plan = rpad("Plan général du projet – ", 70000, "Kapitel § Ünïcödé — 第一章; ");
  EXPECT_EQ(join(mdb_reader_rows(file(), "PROJECTS"), "\n"),
            "10\t1\tYear-end Closing\tNULL\tNULL\tNULL\tNULL\tClose the books.\tNULL\tNULL\n"
            "20\t1\tLedger 2.0\t2023-01-09 08:00:00\t2024-02-29 16:45:00\t+01-06\t1250000\t" + plan +
                "\tRésumé: a new ledger\tStarted after the 2022 review.\n"
            "20\t2\tSensor Network\tNULL\tNULL\t+02-00\tNULL\t\tNULL\tNULL");
}

TEST_F(DemoConversion, ValuesOfFloatsBinaryAndNationalText) {
  std::vector<std::string> rows = mdb_reader_rows(file(), "EMPLOYEES");
  mask_now(rows, "7900\t", 7);
  EXPECT_EQ(join(rows, "\n"),
            "7566\tJürgen\tMüller\tJM \tjuergen.mueller@example.com\t20\t7839\t2003-03-12 00:00:00\t"
            "2024-05-01 18:30:00\t7200.75\tNULL\t3.9\t1.850000023841858\t92.5\t0xa1b2\tY\tit's new\n"
            "7698\tΕλένη\tΠαπαδοπούλου\tΕΠ \tNULL\t20\t7566\t2015-07-01 00:00:00\tNULL\t5100\tNULL\tNULL\tNULL\t"
            "NULL\tNULL\tY\tit's new\n"
            "7782\t花子\t山田\tNULL\tNULL\tNULL\tNULL\t2019-04-01 00:00:00\tNULL\t4800\t0.05\tNULL\tNULL\tNULL\t"
            "NULL\tN\tit's new\n"
            "7839\tAstrid\tØrsted\tAØ \tastrid.orsted@example.com\t10\tNULL\t1998-03-15 00:00:00\t"
            "2024-05-06 07:08:09\t9500\t0.125\t4.5\t1.7200000286102295\t68.25\t0x0102030405060708\tY\tFounder\n"
            "7900\tNULL\tO'Brien\tNULL\tNULL\t30\t7839\t<now>\tNULL\tNULL\tNULL\tNULL\tNULL\tNULL\tNULL\tY\tNULL");
}
