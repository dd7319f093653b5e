// Fetching on one connection from several threads, and the locator a define
// fills when handles come and go between fetches.
#include <atomic>
#include <chrono>
#include <thread>

#include "oci_fixture.h"
#include "ocilite/ocl_val.h"

namespace {

class fetch_test : public ocilite_test {
 protected:
  void SetUp() override {
    ocilite_test::SetUp();
    std::string script = "CREATE TABLE ITEMS (ID NUMBER(9) PRIMARY KEY, PRICE NUMBER(10,2), NAME VARCHAR2(20), "
                         "CODE CHAR(6), BODY CLOB);\nCREATE TABLE LOG (N NUMBER);\n";
    for (int i = 1; i <= rows; ++i)
      script += "INSERT INTO ITEMS VALUES (" + std::to_string(i) + ", " + std::to_string(i) + ".25, 'näme " +
                std::to_string(i) + "', 'C" + std::to_string(i % 1000) + "', 'body " + std::to_string(i) + "');\n";
    load(script);
    connect();
  }

 public:
  static constexpr int rows = 400;
};

void expect_all_rows(const std::vector<std::vector<std::string>>& got) {
  ASSERT_EQ(got.size(), (size_t)fetch_test::rows);
  for (int i = 1; i <= fetch_test::rows; ++i) {
    const auto& row = got[i - 1];
    ASSERT_EQ(row.size(), 4u);
    EXPECT_EQ(row[0], std::to_string(i));
    EXPECT_EQ(row[1], std::to_string(i) + ".25");
    EXPECT_EQ(row[2], "näme " + std::to_string(i));
    std::string code = "C" + std::to_string(i % 1000);
    EXPECT_EQ(row[3], code + std::string(6 - code.size(), ' '));
  }
}

TEST_F(fetch_test, StatementsOfOneConnectionFetchFromSeveralThreadsAtOnce) {
  const std::string sql = "SELECT ID, PRICE, NAME, CODE FROM ITEMS ORDER BY ID";
  std::vector<std::vector<std::string>> results[4];
  std::vector<std::thread> threads;
  for (auto& result : results)
    threads.emplace_back([&] {
      for (int round = 0; round < 3; ++round) result = query_text(*client, sql);
    });
  // Statements made, run and freed meanwhile on the same connection, writes among them.
  std::atomic<bool> stop{false};
  std::thread churn([&] {
    for (int n = 0; !stop; ++n) {
      oci_stmt stmt(*client);
      stmt.open("SELECT COUNT(*) FROM ITEMS");
      oci_stmt write(*client);
      ASSERT_EQ(write.prepare("INSERT INTO LOG VALUES (" + std::to_string(n) + ")"), OCI_SUCCESS);
      ASSERT_EQ(write.execute(1), OCI_SUCCESS) << client->last_error().text;
    }
  });
  for (auto& t : threads) t.join();
  stop = true;
  churn.join();
  for (const auto& result : results) expect_all_rows(result);
}

// While a LOB read on the connection is inside its callback, a fetch on
// another statement of the same connection waits for the read to end.
struct held_read {
  std::atomic<bool> inside{false};
  std::atomic<bool> fetched{false};
  bool fetched_while_inside = true;
};

sb4 hold_connection(void* context, const void*, ub4, ub1) {
  auto* held = static_cast<held_read*>(context);
  held->inside = true;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  held->fetched_while_inside = held->fetched;
  return 0;
}

TEST_F(fetch_test, AFetchWaitsForACallOnTheSameConnectionInAnotherThread) {
  const ora_oci_calls& oci = client->api();
  oci_stmt lobs(*client);
  lobs.open("SELECT BODY FROM ITEMS ORDER BY ID");
  OCILobLocator* locator = nullptr;
  ASSERT_EQ(oci.descriptor_alloc(client->env, reinterpret_cast<void**>(&locator), OCI_DTYPE_LOB, 0, nullptr),
            OCI_SUCCESS);
  OCIDefine* define = nullptr;
  sb2 indicator = 0;
  ASSERT_EQ(oci.define_by_pos(lobs.handle, &define, client->err, 1, &locator, -1, SQLT_CLOB, &indicator, nullptr,
                              nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  ASSERT_EQ(lobs.fetch(), OCI_SUCCESS);

  oci_stmt other(*client);
  other.open("SELECT ID FROM ITEMS ORDER BY ID");
  ub4 id = 0;
  ASSERT_EQ(oci.define_by_pos(other.handle, &define, client->err, 1, &id, sizeof id, SQLT_INT, nullptr, nullptr,
                              nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  held_read held;
  std::thread fetcher([&] {
    while (!held.inside) std::this_thread::yield();
    EXPECT_EQ(other.fetch(), OCI_SUCCESS);
    held.fetched = true;
  });
  char16_t buffer[64];
  ub4 amount = 0;
  EXPECT_EQ(oci.lob_read(client->svc, client->err, locator, &amount, 1, buffer, sizeof buffer, &held,
                         hold_connection, 0, SQLCS_IMPLICIT),
            OCI_SUCCESS);
  fetcher.join();
  EXPECT_FALSE(held.fetched_while_inside);
  EXPECT_EQ(id, 1u);
  EXPECT_EQ(oci.descriptor_free(locator, OCI_DTYPE_LOB), OCI_SUCCESS);
}

TEST_F(fetch_test, ALocatorFreedBetweenFetchesIsRefusedAndItsSuccessorIsFilled) {
  const ora_oci_calls& oci = client->api();
  oci_stmt stmt(*client);
  stmt.open("SELECT BODY FROM ITEMS ORDER BY ID");
  OCILobLocator* locator = nullptr;
  ASSERT_EQ(oci.descriptor_alloc(client->env, reinterpret_cast<void**>(&locator), OCI_DTYPE_LOB, 0, nullptr),
            OCI_SUCCESS);
  sb2 indicator = 0;
  OCIDefine* define = nullptr;
  ASSERT_EQ(oci.define_by_pos(stmt.handle, &define, client->err, 1, &locator, -1, SQLT_CLOB, &indicator, nullptr,
                              nullptr, OCI_DEFAULT),
            OCI_SUCCESS);
  auto read_all = [&](OCILobLocator* from) {
    char16_t buffer[64] = {};
    ub4 amount = 63;
    EXPECT_EQ(oci.lob_read(client->svc, client->err, from, &amount, 1, buffer, sizeof buffer, nullptr, nullptr,
                           0, SQLCS_IMPLICIT),
              OCI_SUCCESS)
        << client->last_error().text;
    return utf8(std::u16string(buffer, amount));
  };
  ASSERT_EQ(stmt.fetch(), OCI_SUCCESS);
  EXPECT_EQ(read_all(locator), "body 1");
  ASSERT_EQ(stmt.fetch(), OCI_SUCCESS);
  EXPECT_EQ(read_all(locator), "body 2");

  // The buffer still names the freed locator: the fetch must not fill it.
  ASSERT_EQ(oci.descriptor_free(locator, OCI_DTYPE_LOB), OCI_SUCCESS);
  EXPECT_EQ(stmt.fetch(), OCI_ERROR);
  EXPECT_EQ(client->last_error().number, 22275);

  ASSERT_EQ(oci.descriptor_alloc(client->env, reinterpret_cast<void**>(&locator), OCI_DTYPE_LOB, 0, nullptr),
            OCI_SUCCESS);
  ASSERT_EQ(stmt.fetch(), OCI_SUCCESS) << client->last_error().text;
  EXPECT_EQ(read_all(locator), "body 4");
  EXPECT_EQ(oci.descriptor_free(locator, OCI_DTYPE_LOB), OCI_SUCCESS);
}

class text_fetch_test : public ocilite_test {};

TEST_F(text_fetch_test, WideTextIsWholeOrCutBeforeAPairAndNeverSplitsOne) {
  load("CREATE TABLE T (ID NUMBER PRIMARY KEY, S VARCHAR2(40 CHAR));\n"
       "INSERT INTO T VALUES (1, 'a\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9Ez');\n");  // aé€𝄞z
  connect();
  const ora_oci_calls& oci = client->api();
  const std::u16string whole = u"a\u00E9\u20AC\U0001D11Ez";
  // Room for the terminator and, in turn, every length up to the whole text.
  for (size_t units = 0; units <= whole.size(); ++units) {
    oci_stmt stmt(*client);
    stmt.open("SELECT S FROM T");
    std::vector<char16_t> buffer(units + 1, u'#');
    sb2 indicator = 0;
    ub2 length = 0, code = 0;
    OCIDefine* define = nullptr;
    ASSERT_EQ(oci.define_by_pos(stmt.handle, &define, client->err, 1, buffer.data(), (sb4)buffer.size() * 2,
                                SQLT_STR, &indicator, &length, &code, OCI_DEFAULT),
              OCI_SUCCESS);
    sword status = stmt.fetch();
    // Cutting inside the pair keeps only what comes before it.
    size_t kept = units == 4 ? 3 : units;
    EXPECT_EQ(std::u16string(buffer.data()), whole.substr(0, kept)) << units;
    EXPECT_EQ(length, kept * 2) << units;
    if (units < whole.size()) {
      EXPECT_EQ(status, OCI_SUCCESS_WITH_INFO);
      EXPECT_EQ(indicator, (sb2)(whole.size() * 2));
      EXPECT_EQ(code, 1406);
    } else {
      EXPECT_EQ(status, OCI_SUCCESS);
      EXPECT_EQ(indicator, 0);
    }
  }
}

TEST(OciliteNumberChars, TheSignCountsTowardsThePlainFormsForty) {
  char text[ocl::number_chars_capacity];
  // 40 characters unsigned: plain; the same with its sign: exponent form.
  EXPECT_EQ(std::string(text, ocl::number_chars(1.5e-38, text)), "." + std::string(37, '0') + "15");
  EXPECT_EQ(std::string(text, ocl::number_chars(-1.5e-38, text)), "-1.5E-38");
  EXPECT_EQ(std::string(text, ocl::number_chars(-0.25, text)), "-.25");
  EXPECT_EQ(std::string(text, ocl::number_chars(int64_t{-9007199254740993}, text)), "-9007199254740993");
  EXPECT_EQ(std::string(text, ocl::number_chars(-1.7976931348623157e308, text)), "-1.7976931348623157E+308");
  EXPECT_EQ(std::string(text, ocl::number_chars(123456789012.5, text)), "123456789012.5");
}

}  // namespace
