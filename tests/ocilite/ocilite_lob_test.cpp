// LOB locators: defined as SQLT_CLOB / SQLT_BLOB, filled by each fetch, read
// in 32 KB pieces the way the LOB adapter reads them, and by explicit amounts.
#include <cstring>

#include "oci_fixture.h"

namespace {

// RPAD builds the long values: 70,000 characters of mixed one-, two- and three-byte UTF-8.
const char* const lob_script = R"(
CREATE TABLE DOCS (ID NUMBER PRIMARY KEY, BODY CLOB, NOTE NCLOB, PICTURE BLOB);
INSERT INTO DOCS VALUES (1, RPAD('Start: ', 70000, 'aé€z'), 'ñandú', HEXTORAW(RPAD('00', 140000, '0123456789ABCDEF')));
INSERT INTO DOCS VALUES (2, EMPTY_CLOB(), NULL, EMPTY_BLOB());
INSERT INTO DOCS VALUES (3, 'short', 'x', HEXTORAW('FF'));
)";

std::string expected_body() {
  std::u16string text = u"Start: ";
  const std::u16string cycle = u"aé€z";
  while (text.size() < 70000) text += cycle[(text.size() - 7) % 4];
  return utf8(text);
}

class lob_test : public ocilite_test {
 protected:
  void SetUp() override {
    ocilite_test::SetUp();
    load(lob_script);
    connect();
    const ora_oci_calls& oci = client->api();
    for (auto** locator : {&clob, &nclob, &blob})
      ASSERT_EQ(oci.descriptor_alloc(client->env, reinterpret_cast<void**>(locator), OCI_DTYPE_LOB, 0, nullptr),
                OCI_SUCCESS);
    stmt = std::make_unique<oci_stmt>(*client);
    stmt->open("SELECT BODY, NOTE, PICTURE FROM DOCS ORDER BY ID");
    OCIDefine* d[3] = {};
    ASSERT_EQ(oci.define_by_pos(stmt->handle, &d[0], client->err, 1, &clob, -1, SQLT_CLOB, &indicators[0], nullptr, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(oci.define_by_pos(stmt->handle, &d[1], client->err, 2, &nclob, -1, SQLT_CLOB, &indicators[1], nullptr, nullptr, 0), OCI_SUCCESS);
    ASSERT_EQ(oci.define_by_pos(stmt->handle, &d[2], client->err, 3, &blob, -1, SQLT_BLOB, &indicators[2], nullptr, nullptr, 0), OCI_SUCCESS);
  }
  void TearDown() override {
    stmt.reset();
    for (OCILobLocator* locator : {clob, nclob, blob})
      EXPECT_EQ(client->api().descriptor_free(locator, OCI_DTYPE_LOB), OCI_SUCCESS);
  }

  // The adapter's loop: amount 0, 32,768-byte pieces, the offset advanced by
  // each returned amount, until a read returns nothing.
  std::string read_in_pieces(OCILobLocator* locator, ub2 csid, int* pieces) {
    const ora_oci_calls& oci = client->api();
    ub1 form = 1;
    EXPECT_EQ(oci.lob_char_set_form(client->env, client->err, locator, &form), OCI_SUCCESS);
    std::string content;
    std::vector<char> buffer(65540);
    ub4 offset = 1;
    *pieces = 0;
    for (;;) {
      ub4 amount = 0;
      sword status = oci.lob_read(client->svc, client->err, locator, &amount, offset, buffer.data(), 0x8000,
                                  nullptr, nullptr, csid, form);
      EXPECT_NE(status, OCI_ERROR) << client->last_error().text;
      if (status == OCI_ERROR || amount == 0) break;
      size_t bytes = csid == 873 ? amount : amount * 2;
      content.append(buffer.data(), bytes);
      ++*pieces;
      offset += amount;
    }
    return content;
  }

  std::unique_ptr<oci_stmt> stmt;
  OCILobLocator* clob = nullptr;
  OCILobLocator* nclob = nullptr;
  OCILobLocator* blob = nullptr;
  sb2 indicators[3] = {};
};

std::string as_utf8(const std::string& utf16_bytes) {
  std::u16string text(utf16_bytes.size() / 2, u'\0');
  std::memcpy(text.data(), utf16_bytes.data(), text.size() * 2);
  return utf8(text);
}

TEST_F(lob_test, LongNonAsciiClobArrivesIntactInUtf16Pieces) {
  ASSERT_EQ(stmt->fetch(), OCI_SUCCESS) << client->last_error().text;
  int pieces = 0;
  std::string text = as_utf8(read_in_pieces(clob, 0, &pieces));
  EXPECT_EQ(pieces, 5);  // 70,000 characters, 16,384 to a 32 KB piece
  EXPECT_EQ(text, expected_body());
  ub4 length = 0;
  EXPECT_EQ(client->api().lob_get_length(client->svc, client->err, clob, &length), OCI_SUCCESS);
  EXPECT_EQ(length, 70000u);
  // csid OCI_UTF16ID reads the same characters.
  EXPECT_EQ(as_utf8(read_in_pieces(clob, OCI_UTF16ID, &pieces)), expected_body());
}

TEST_F(lob_test, ClobIntoUtf8CountsBytesAndNeverSplitsACharacter) {
  ASSERT_EQ(stmt->fetch(), OCI_SUCCESS);
  int pieces = 0;
  std::string text = read_in_pieces(clob, 873, &pieces);
  EXPECT_EQ(text, expected_body());
  EXPECT_GE(pieces, (int)((expected_body().size() + 0x7FFF) / 0x8000));
}

TEST_F(lob_test, ExplicitAmountsReadFromAnOffset) {
  ASSERT_EQ(stmt->fetch(), OCI_SUCCESS);
  char16_t buffer[16] = {};
  ub4 amount = 4;
  ASSERT_EQ(client->api().lob_read(client->svc, client->err, clob, &amount, 8, buffer, sizeof buffer, nullptr,
                                   nullptr, 0, SQLCS_IMPLICIT),
            OCI_SUCCESS);
  EXPECT_EQ(amount, 4u);
  EXPECT_EQ(utf8(std::u16string(buffer, 4)), "aé€z");
  amount = 10;  // beyond the end: what is there
  ASSERT_EQ(client->api().lob_read(client->svc, client->err, clob, &amount, 69998, buffer, sizeof buffer, nullptr,
                                   nullptr, 0, SQLCS_IMPLICIT),
            OCI_SUCCESS);
  EXPECT_EQ(amount, 3u);
  amount = 1;
  EXPECT_EQ(client->api().lob_read(client->svc, client->err, clob, &amount, 70001, buffer, sizeof buffer, nullptr,
                                   nullptr, 0, SQLCS_IMPLICIT),
            OCI_NO_DATA);
  EXPECT_EQ(amount, 0u);
}

TEST_F(lob_test, BlobOver64KbReadsInPiecesAsBytes) {
  ASSERT_EQ(stmt->fetch(), OCI_SUCCESS);
  const ora_oci_calls& oci = client->api();
  std::string bytes;
  std::vector<char> buffer(0x8000);
  ub4 offset = 1;
  int pieces = 0;
  for (;;) {
    ub4 amount = 0;
    sword status = oci.lob_read(client->svc, client->err, blob, &amount, offset, buffer.data(), 0x8000, nullptr,
                                nullptr, 0, 1);
    ASSERT_NE(status, OCI_ERROR);
    if (amount == 0) break;
    bytes.append(buffer.data(), amount);
    offset += amount;
    ++pieces;
  }
  ASSERT_EQ(bytes.size(), 70000u);
  EXPECT_EQ(pieces, 3);
  EXPECT_EQ((unsigned char)bytes[0], 0x00);
  EXPECT_EQ((unsigned char)bytes[1], 0x01);
  EXPECT_EQ((unsigned char)bytes[69999], 0xCD);  // the pattern's last, cut cycle
  ub1 form = 9;
  EXPECT_EQ(oci.lob_char_set_form(client->env, client->err, blob, &form), OCI_SUCCESS);
  EXPECT_EQ(form, 0);
}

TEST_F(lob_test, CharacterSetFormsEmptyAndNullLobsAndRefillPerRow) {
  ASSERT_EQ(stmt->fetch(), OCI_SUCCESS);
  ub1 form = 0;
  EXPECT_EQ(client->api().lob_char_set_form(client->env, client->err, nclob, &form), OCI_SUCCESS);
  EXPECT_EQ(form, SQLCS_NCHAR);
  EXPECT_EQ(client->api().lob_char_set_form(client->env, client->err, clob, &form), OCI_SUCCESS);
  EXPECT_EQ(form, SQLCS_IMPLICIT);
  int pieces = 0;
  EXPECT_EQ(as_utf8(read_in_pieces(nclob, 0, &pieces)), "ñandú");

  ASSERT_EQ(stmt->fetch(), OCI_SUCCESS);  // row 2: empty LOBs and a NULL
  EXPECT_EQ(indicators[0], 0);
  EXPECT_EQ(indicators[1], -1);
  EXPECT_EQ(read_in_pieces(clob, 0, &pieces), "");
  EXPECT_EQ(pieces, 0);
  ub4 amount = 0;
  char buffer[8];
  EXPECT_EQ(client->api().lob_read(client->svc, client->err, blob, &amount, 1, buffer, sizeof buffer, nullptr,
                                   nullptr, 0, 0),
            OCI_NO_DATA);

  ASSERT_EQ(stmt->fetch(), OCI_SUCCESS);  // row 3: the same locators now hold the new row
  EXPECT_EQ(as_utf8(read_in_pieces(clob, 0, &pieces)), "short");
  EXPECT_EQ(stmt->fetch(), OCI_NO_DATA);
}

TEST_F(lob_test, WrongLocatorKindsAreErrors) {
  oci_stmt text_stmt(*client);
  text_stmt.open("SELECT ID FROM DOCS");
  OCIDefine* d = nullptr;
  ASSERT_EQ(client->api().define_by_pos(text_stmt.handle, &d, client->err, 1, &clob, -1, SQLT_CLOB, nullptr,
                                        nullptr, nullptr, 0),
            OCI_SUCCESS);
  EXPECT_EQ(text_stmt.fetch(), OCI_ERROR);
  EXPECT_EQ(client->last_error().number, 932);
  // A locator never filled by a fetch cannot be read.
  OCILobLocator* unused = nullptr;
  ASSERT_EQ(client->api().descriptor_alloc(client->env, reinterpret_cast<void**>(&unused), OCI_DTYPE_LOB, 0, nullptr),
            OCI_SUCCESS);
  ub4 amount = 0;
  char buffer[8];
  EXPECT_EQ(client->api().lob_read(client->svc, client->err, unused, &amount, 1, buffer, sizeof buffer, nullptr,
                                   nullptr, 0, 1),
            OCI_ERROR);
  EXPECT_EQ(client->last_error().number, 22275);
  EXPECT_EQ(client->api().descriptor_free(unused, OCI_DTYPE_LOB), OCI_SUCCESS);
}

}  // namespace
