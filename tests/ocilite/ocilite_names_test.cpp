// Names as Oracle keeps them: up to 128 bytes.
#include "oci_fixture.h"

namespace {

using rows = std::vector<std::vector<std::string>>;

class names_test : public ocilite_test {
 protected:
  void SetUp() override {
    ocilite_test::SetUp();
    connect();
  }
  // The status of the statement; its error text in last_error.
  sword run(const std::string& sql) {
    oci_stmt stmt(*client);
    if (stmt.prepare(sql) != OCI_SUCCESS) return OCI_ERROR;
    return stmt.execute(1);
  }
  void ok(const std::string& sql) { EXPECT_EQ(run(sql), OCI_SUCCESS) << sql << ": " << client->last_error().text; }
  std::string error(const std::string& sql) {
    EXPECT_EQ(run(sql), OCI_ERROR) << sql;
    return client->last_error().text;
  }
  // The names a query's columns are described with.
  std::vector<std::string> described(const std::string& sql) {
    oci_stmt stmt(*client);
    stmt.open(sql);
    std::vector<std::string> names;
    for (ub4 i = 1; i <= stmt.param_count(); ++i) names.push_back(describe(*client, stmt.param(i)).name);
    return names;
  }
};

}  // namespace

TEST_F(names_test, NamesReach128BytesAndNoFurther) {
  const std::string longest(128, 'L'), quoted_longest = std::string(127, 'q') + "Q";
  ok("CREATE TABLE " + longest + " (" + longest + " NUMBER)");
  ok("CREATE TABLE \"" + quoted_longest + "\" (\"" + quoted_longest + "\" NUMBER)");
  ok("INSERT INTO " + longest + " VALUES (1)");
  EXPECT_EQ(query_text(*client, "SELECT " + longest + " FROM " + longest), (rows{{"1"}}));
  EXPECT_EQ(query_text(*client, "SELECT TABLE_NAME, COLUMN_NAME FROM USER_TAB_COLUMNS WHERE TABLE_NAME = '" +
                                    quoted_longest + "'"),
            (rows{{quoted_longest, quoted_longest}}));
  // The dictionary describes its name columns wide enough for them.
  oci_stmt dictionary(*client);
  dictionary.open("SELECT TABLE_NAME FROM USER_TABLES");
  EXPECT_EQ(describe(*client, dictionary.param(1)).size, 128);

  const std::string too_long = "ORA-00972: identifier is too long";
  EXPECT_EQ(error("CREATE TABLE " + longest + "X (A NUMBER)"), too_long);
  EXPECT_EQ(error("CREATE TABLE \"" + quoted_longest + "x\" (A NUMBER)"), too_long);
  EXPECT_EQ(error("CREATE TABLE SHORT (" + longest + "X NUMBER)"), too_long);
  EXPECT_EQ(error("SELECT " + longest + "X FROM " + longest), too_long);
  // Bytes are counted, not characters: 64 two-byte letters fit, 65 do not.
  std::string accented;
  for (int i = 0; i < 64; ++i) accented += "\xc3\xa9";
  ok("CREATE TABLE \"" + accented + "\" (A NUMBER)");
  EXPECT_EQ(error("CREATE TABLE \"" + accented + "\xc3\xa9\" (A NUMBER)"), too_long);
}
