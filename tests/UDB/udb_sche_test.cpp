#include <gtest/gtest.h>

#include "UDB/udb_fld.h"
#include "UDB/udb_sche.h"
#include "udb_check.h"

namespace {

t_ftd column(VARTYPE type, uint32_t size = 0, const std::u16string& name = u"C") {
  return t_ftd(size, name, type, false, false, ole_variant(), 0);
}

bool conforms(VARTYPE source, uint32_t source_size, VARTYPE destination, uint32_t destination_size) {
  return column(source, source_size).conform_to(column(destination, destination_size));
}

const VARTYPE numeric_types[] = {VT_I2, VT_I4, VT_R4, VT_R8, VT_CY, VT_BOOL, VT_DECIMAL,
                                 VT_I1, VT_UI1, VT_UI2, VT_UI4, VT_I8, VT_UI8};
const VARTYPE text_types[] = {VT_BSTR, VT_LPSTR, VT_LPWSTR};
const VARTYPE binary_types[] = {VT_BLOB, VT_BLOB_OBJECT, VT_BINARY_ARRAY};

}  // namespace

TEST(TFtd, EqualityComparesTypesAndTextSizesOnly) {
  t_ftd a(10, u"A", VT_BSTR, true, false, ole_variant(5), 0);
  t_ftd b(10, u"B", VT_BSTR, false, true, ole_variant(), 1);
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(column(VT_BSTR, 10) == column(VT_BSTR, 11));
  EXPECT_TRUE(column(VT_I4, 4) == column(VT_I4, 8));  // sizes count for text only
  EXPECT_TRUE(column(VT_CY) == column(VT_DECIMAL));
  EXPECT_TRUE(column(VT_DECIMAL) == column(VT_CY));
  EXPECT_FALSE(column(VT_I4) == column(VT_I2));
  EXPECT_FALSE(column(VT_LPSTR) == column(VT_BSTR));
}

TEST(TFtd, BuiltFromAFieldTakesItsColumnDescription) {
  udb_field field(u"HIRED", 19, ole_variant(u"2001-02-03 04:05:06"), true, true);
  t_ftd d(field, ole_variant(7), 1);
  EXPECT_EQ(d.name, u"HIRED");
  EXPECT_EQ(d.size, 19u);
  EXPECT_EQ(d.type, VT_BSTR);
  EXPECT_TRUE(d.not_null);
  EXPECT_TRUE(d.auto_increment);
  EXPECT_EQ(d.default_value.get_type(), VT_I4);
  EXPECT_EQ(d.default_value.to_long(), 7);
  EXPECT_EQ(d.default_kind, 1);
}

TEST(TFtdConformance, NumericDestinationsTakeNumbersOnly) {
  const VARTYPE destinations[] = {VT_I2, VT_I4, VT_R4, VT_R8, VT_CY, VT_BOOL, VT_DECIMAL,
                                  VT_I1, VT_UI1, VT_UI2, VT_UI4, VT_I8, VT_UI8, VT_INT, VT_UINT};
  for (VARTYPE d : destinations) {
    for (VARTYPE s : numeric_types) EXPECT_TRUE(conforms(s, 0, d, 0)) << s << "->" << d;
    EXPECT_FALSE(conforms(VT_BSTR, 10, d, 0)) << d;
    EXPECT_FALSE(conforms(VT_DATE, 0, d, 0)) << d;
    EXPECT_FALSE(conforms(VT_BINARY_ARRAY, 0, d, 0)) << d;
    if (d != VT_INT) {
      EXPECT_FALSE(conforms(VT_INT, 0, d, 0)) << d;  // not numbers as a source
    }
    if (d != VT_UINT) {
      EXPECT_FALSE(conforms(VT_UINT, 0, d, 0)) << d;
    }
  }
  EXPECT_TRUE(conforms(VT_INT, 0, VT_INT, 0));  // equal descriptors always conform
}

TEST(TFtdConformance, DateDestinationTakesDatesAndNineteenCharacterText) {
  EXPECT_TRUE(conforms(VT_DATE, 0, VT_DATE, 0));
  EXPECT_TRUE(conforms(VT_BSTR, 19, VT_DATE, 0));
  EXPECT_FALSE(conforms(VT_BSTR, 18, VT_DATE, 0));
  EXPECT_FALSE(conforms(VT_BSTR, 20, VT_DATE, 0));
  EXPECT_FALSE(conforms(VT_LPWSTR, 19, VT_DATE, 0));
  for (VARTYPE s : numeric_types) EXPECT_FALSE(conforms(s, 0, VT_DATE, 0)) << s;
}

TEST(TFtdConformance, TextDestinationsCheckLengthsAndRefuseBinary) {
  for (VARTYPE d : text_types) {
    for (VARTYPE s : text_types) {
      EXPECT_TRUE(conforms(s, 50, d, 0)) << s << "->" << d;
      EXPECT_TRUE(conforms(s, 50, d, 50)) << s << "->" << d;
      EXPECT_TRUE(conforms(s, 50, d, 100)) << s << "->" << d;
      // Descriptors of one type are equal, and so conform, whatever their
      // sizes, except VT_BSTR, whose sizes are part of equality.
      EXPECT_EQ(conforms(s, 50, d, 40), s == d && s != VT_BSTR) << s << "->" << d;
    }
    for (VARTYPE s : binary_types) EXPECT_FALSE(conforms(s, 10, d, 0)) << s << "->" << d;
    EXPECT_TRUE(conforms(VT_I4, 0, d, 5)) << d;  // any other source, whatever the size
    EXPECT_TRUE(conforms(VT_DATE, 0, d, 5)) << d;
  }
}

TEST(TFtdConformance, BinaryDestinationsCheckLengthsOfTextAndBinary) {
  for (VARTYPE d : binary_types) {
    for (VARTYPE s : binary_types) {
      EXPECT_TRUE(conforms(s, 300, d, 0)) << s << "->" << d;
      EXPECT_TRUE(conforms(s, 300, d, 300)) << s << "->" << d;
      EXPECT_EQ(conforms(s, 300, d, 299), s == d) << s << "->" << d;  // equal types
    }
    EXPECT_TRUE(conforms(VT_BSTR, 20, d, 20)) << d;
    EXPECT_FALSE(conforms(VT_BSTR, 20, d, 10)) << d;
    EXPECT_TRUE(conforms(VT_R8, 0, d, 1)) << d;
  }
}

TEST(TFtdConformance, CurrencyAndDecimalConformBothWaysAndOtherDestinationsRefuse) {
  EXPECT_TRUE(conforms(VT_CY, 0, VT_DECIMAL, 0));
  EXPECT_TRUE(conforms(VT_DECIMAL, 0, VT_CY, 0));
  EXPECT_FALSE(conforms(VT_I4, 0, VT_ERROR, 0));
  EXPECT_FALSE(conforms(VT_BSTR, 0, VT_EMPTY, 0));
  EXPECT_TRUE(conforms(VT_ERROR, 0, VT_ERROR, 0));  // the same type is always equal
}

namespace {

void add(udb_schema& schema, VARTYPE type, uint32_t size, const std::u16string& name) {
  schema.add(std::make_unique<t_ftd>(size, name, type, false, false, ole_variant(), 0));
}

}  // namespace

TEST(UdbSchema, ConformsColumnByColumnIgnoringNames) {
  udb_check::trace_capture log;
  udb_schema source(true), destination(true);
  add(source, VT_I4, 0, u"ID");
  add(source, VT_BSTR, 30, u"NAME");
  add(destination, VT_R8, 0, u"key");
  add(destination, VT_BSTR, 40, u"label");
  EXPECT_TRUE(source.conform_to(destination));

  add(source, VT_DATE, 0, u"HIRED");
  EXPECT_FALSE(source.conform_to(destination));
  EXPECT_TRUE(log.has_line("Tables are not conformed: src_size=3, dest_size=2"));

  add(destination, VT_I4, 0, u"HIRED");
  EXPECT_FALSE(source.conform_to(destination));
  EXPECT_TRUE(log.has_line("Column #3 doesn't conform (src_vt=7, src_size=0, dest_vt=3, dest_size=0)"));
  EXPECT_FALSE(destination.conform_to(source));  // the first failing column is reported
  EXPECT_TRUE(log.has_line("Column #2 doesn't conform (src_vt=8, src_size=40, dest_vt=8, dest_size=30)"));
}

TEST(UdbSchema, FindFieldIgnoresCaseAndTakesTheFirstMatch) {
  udb_schema schema(true);
  add(schema, VT_I4, 0, u"id");
  add(schema, VT_BSTR, 10, u"Größe");
  add(schema, VT_BSTR, 20, u"ID");
  EXPECT_TRUE(schema.find_field(u"ID"));
  EXPECT_FALSE(schema.find_field(u"GRÖSSE"));  // no one-letter fold of ß to SS
  EXPECT_TRUE(schema.find_field(u"gRÖße"));
  EXPECT_FALSE(schema.find_field(u"I"));
  EXPECT_EQ(schema.find_field(u"ID", udb_schema::must_exist).type, VT_I4);

  schema.find_field(u"größe", udb_schema::must_exist).size = 99;
  EXPECT_EQ(schema[1].size, 99u);

  const udb_schema& reading = schema;
  EXPECT_EQ(reading.find_field(u"GRÖẞE", udb_schema::must_exist).size, 99u);
  EXPECT_INTERNAL_ERROR(reading.find_field(u"missing", udb_schema::must_exist), "udb_sche");
  EXPECT_INTERNAL_ERROR(schema.find_field(u"missing", udb_schema::must_exist), "udb_sche");
}

TEST(UdbSchema, OwnershipDecidesWhoDeletesTheDescriptors) {
  t_ftd kept = column(VT_I2, 0, u"KEPT");
  {
    udb_schema borrowing(false);
    borrowing.add(kept);
    EXPECT_EQ(&borrowing[0], &kept);
    EXPECT_INTERNAL_ERROR(borrowing.add(std::make_unique<t_ftd>(column(VT_I4))), "udb_sche");
  }
  EXPECT_EQ(kept.name, u"KEPT");  // still alive after the borrowing schema
  udb_schema owning(true);
  EXPECT_INTERNAL_ERROR(owning.add(kept), "udb_sche");
  EXPECT_INTERNAL_ERROR(owning.add(std::unique_ptr<t_ftd>()), "udb_sche");
  EXPECT_INTERNAL_ERROR(owning[0], "udb_sche");
  add(owning, VT_I4, 0, u"A");  // freed by the schema (the leak checker would tell)
  EXPECT_EQ(owning.size(), 1u);
}

TEST(UdbRecord, HoldsOwnedFieldsInColumnOrder) {
  udb_check::trace_capture log;
  udb_record record;
  record.add(std::make_unique<udb_field>(u"ID", 0, ole_variant(7), true, true));
  record.add(std::make_unique<udb_field>());
  ASSERT_EQ(record.size(), 2u);
  EXPECT_EQ(record[0].name(), u"ID");
  EXPECT_EQ(record[0].get_type(), VT_I4);
  EXPECT_TRUE(record[0].is_not_null());
  EXPECT_TRUE(record[0].is_auto_increment());
  EXPECT_EQ(record[1].get_type(), VT_EMPTY);
  EXPECT_TRUE(log.has_line("udb_field::ctor #2"));
  EXPECT_TRUE(log.has_line("name=ID, size=0"));
  EXPECT_TRUE(log.has_line("udb_field::empty ctor"));
  EXPECT_INTERNAL_ERROR(record[2], "udb_fld");
  EXPECT_INTERNAL_ERROR(record.add(nullptr), "udb_fld");

  udb_field copy = record[0];
  copy.set_value(ole_variant(u"x"));
  EXPECT_EQ(copy.get_type(), VT_BSTR);
  EXPECT_EQ(copy.name(), u"ID");
  EXPECT_EQ(record[0].to_long(), 7);  // the copy has its own value
}
