// The human-resources and order-entry schema scripts (keys added by ALTER
// TABLE, sequences, identity columns, an index-organized table, views, JSON
// in a BLOB, function-based indexes) loaded by ocilite and converted by the
// agent: every table with its rows, primary keys and indexes in the Access
// file; views and foreign keys are not converted.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "e2e_util.h"

namespace fs = std::filesystem;

namespace {

using lines = std::vector<std::string>;

std::string schema(const std::string& name) {
  std::ifstream in(std::string(DMW_SOURCE_DIR) + "/tests/ocilite/schemas/" + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class SchemaConversion : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = readers_missing(); !why.empty()) GTEST_SKIP() << why;
  }
  agent_run convert(const std::string& script, const std::string& name) {
    oracle_home home(folder, name, schema(script));
    return home.convert(folder, {"--dest=" + name, "--acc_ver=1"});
  }
  scratch_folder folder;
};

}  // namespace

TEST_F(SchemaConversion, HumanResourcesTablesRowsAndKeys) {
  agent_run run = convert("hr.sql", "hr");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(run.err, "");
  const fs::path file = folder / "hr.mdb";
  // The view EMP_DETAILS_VIEW is no table; the index-organized COUNTRIES is one.
  EXPECT_EQ(mdbtools_tables(file), (lines{"COUNTRIES", "DEPARTMENTS", "EMPLOYEES", "JOBS", "JOB_HISTORY", "LOCATIONS",
                                          "REGIONS"}));
  const std::vector<std::pair<std::string, size_t>> counts = {
      {"COUNTRIES", 4}, {"DEPARTMENTS", 3}, {"EMPLOYEES", 3}, {"JOBS", 3},
      {"JOB_HISTORY", 2}, {"LOCATIONS", 3}, {"REGIONS", 3}};
  for (const auto& [table, rows] : counts) EXPECT_EQ(mdbtools_row_count(file, table), rows) << table;
  // Keys added by ALTER TABLE over an existing unique index are primary keys;
  // the foreign keys give no relationships.
  EXPECT_EQ(mdbtools_indexes(file),
            (lines{"ALTER TABLE `COUNTRIES` ADD PRIMARY KEY (`COUNTRY_ID`);",
                   "ALTER TABLE `DEPARTMENTS` ADD PRIMARY KEY (`DEPARTMENT_ID`);",
                   "ALTER TABLE `EMPLOYEES` ADD PRIMARY KEY (`EMPLOYEE_ID`);",
                   "ALTER TABLE `EMPLOYEES` ADD UNIQUE INDEX `EMP_EMAIL_UK` (`EMAIL`);",
                   "ALTER TABLE `JOBS` ADD PRIMARY KEY (`JOB_ID`);",
                   "ALTER TABLE `JOB_HISTORY` ADD PRIMARY KEY (`EMPLOYEE_ID`, `START_DATE`);",
                   "ALTER TABLE `LOCATIONS` ADD PRIMARY KEY (`LOCATION_ID`);",
                   "ALTER TABLE `REGIONS` ADD PRIMARY KEY (`REGION_ID`);"}));
  EXPECT_EQ(mdb_reader_rows(file, "LOCATIONS"),
            (lines{"1300\t8204 Arthur St\tNULL\tLondon\tNULL\tUK", "1400\t1297 Via Cola di Rie\t00989\tRoma\tNULL\tIT",
                   "1500\t2014 Jabberwocky Rd\t26192\tSouthlake\tTexas\tUS"}));
}

TEST_F(SchemaConversion, OrderEntryIdentityJsonAndFunctionBasedIndexes) {
  agent_run run = convert("oe.sql", "oe");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  const fs::path file = folder / "oe.mdb";
  EXPECT_EQ(mdbtools_tables(file), (lines{"CUSTOMERS", "ORDERS", "ORDER_ITEMS", "PRODUCTS", "STORES"}));
  const std::vector<std::pair<std::string, size_t>> counts = {
      {"CUSTOMERS", 3}, {"ORDERS", 2}, {"ORDER_ITEMS", 3}, {"PRODUCTS", 3}, {"STORES", 2}};
  for (const auto& [table, rows] : counts) EXPECT_EQ(mdbtools_row_count(file, table), rows) << table;
  // The converter reads an index's columns from USER_IND_COLUMNS and keeps
  // those the table has: the hidden SYS_NCnnnnn$ column of a DESC column or
  // an expression is left out, so ORDERS_DATE_I keeps ORDER_ID only and
  // CUSTOMERS_NAME_I (UPPER(FULL_NAME) alone) is not made.
  EXPECT_EQ(mdbtools_indexes(file),
            (lines{"ALTER TABLE `CUSTOMERS` ADD PRIMARY KEY (`CUSTOMER_ID`);",
                   "ALTER TABLE `CUSTOMERS` ADD UNIQUE INDEX `CUSTOMERS_EMAIL_U` (`EMAIL_ADDRESS`);",
                   "ALTER TABLE `ORDERS` ADD INDEX `ORDERS_CUSTOMER_ID_I` (`CUSTOMER_ID`);",
                   "ALTER TABLE `ORDERS` ADD INDEX `ORDERS_DATE_I` (`ORDER_ID`);",
                   "ALTER TABLE `ORDERS` ADD PRIMARY KEY (`ORDER_ID`);",
                   "ALTER TABLE `ORDER_ITEMS` ADD INDEX `ORDER_ITEMS_PRODUCT_ID_I` (`PRODUCT_ID`);",
                   "ALTER TABLE `ORDER_ITEMS` ADD PRIMARY KEY (`ORDER_ID`, `LINE_ITEM_ID`);",
                   "ALTER TABLE `ORDER_ITEMS` ADD UNIQUE INDEX `ORDER_ITEMS_PRODUCT_U` (`PRODUCT_ID`, `ORDER_ID`);",
                   "ALTER TABLE `PRODUCTS` ADD PRIMARY KEY (`PRODUCT_ID`);",
                   "ALTER TABLE `STORES` ADD PRIMARY KEY (`STORE_ID`);",
                   "ALTER TABLE `STORES` ADD UNIQUE INDEX `STORE_NAME_U` (`STORE_NAME`);"}));
  // Identity values as generated; the JSON document's bytes as stored.
  EXPECT_EQ(mdb_reader_rows(file, "STORES"),
            (lines{"10\tOnline\thttps://www.example.com\tNULL", "20\tSan Francisco\tNULL\t1 Market St, San Francisco"}));
  lines products = mdb_reader_rows(file, "PRODUCTS");
  ASSERT_EQ(products.size(), 3u);
  EXPECT_EQ(products[2], "3\tGift card\t50\tNULL");
}
