#include <gtest/gtest.h>

#include "OLE/ole_misc.h"
#include "ole_test_util.h"

namespace {
// Counts references as a COM object does.
struct counted_interface {
  unsigned long references = 1;
  unsigned long AddRef() { return ++references; }
  unsigned long Release() { return --references; }
};

const char16_t kGuid[] = u"{0C5AF0D3-2B4E-4F6A-9C11-8D2E7B3A5F40}";
}  // namespace

TEST(OleMisc, QuotedAndBinaryTypes) {
  EXPECT_TRUE(ole_is_quoted_type(VT_BSTR));
  EXPECT_TRUE(ole_is_quoted_type(VT_DATE));
  EXPECT_FALSE(ole_is_quoted_type(VT_I4));
  EXPECT_FALSE(ole_is_quoted_type(VT_LPWSTR));
  EXPECT_TRUE(ole_is_binary_type(VT_BLOB));
  EXPECT_TRUE(ole_is_binary_type(VT_BLOB_OBJECT));
  EXPECT_TRUE(ole_is_binary_type(VT_ARRAY | VT_UI1));
  EXPECT_FALSE(ole_is_binary_type(VT_UI1));
  EXPECT_FALSE(ole_is_binary_type(VT_SAFEARRAY));
  EXPECT_FALSE(ole_is_binary_type(VT_ARRAY | VT_I2));
}

TEST(OleMisc, ComPointerCheckCountsAndRefusesNull) {
  counted_interface object;
  object.references = 3;
  EXPECT_EQ(ole_check_com_ptr(&object), 3u);
  EXPECT_EQ(object.references, 3u);
  EXPECT_TRUE(raises_assertion_from("ole_misc", [] { ole_check_com_ptr<counted_interface>(nullptr); }));
}

TEST(OleGuidExtractor, FindsTheBracedGuidAfterTheWord) {
  ole_guid_extractor lower(std::u16string(u"Provider=Jet;guid = ") + kGuid + u";");
  ASSERT_TRUE(lower.has_guid());
  EXPECT_EQ(lower.get_guid(), kGuid);
  EXPECT_EQ(lower.get_guid_digits(), u"0C5AF0D32B4E4F6A9C118D2E7B3A5F40");
  ole_guid_extractor upper(std::u16string(u"Some object, GUID:") + kGuid);
  EXPECT_EQ(upper.get_guid(), kGuid);
  // The search for the brace starts four characters past the word.
  ole_guid_extractor after(std::u16string(u"{x} guid") + kGuid);
  EXPECT_EQ(after.get_guid(), kGuid);
}

TEST(OleGuidExtractor, NoGuidGivesEmptyTexts) {
  ole_guid_extractor short_text(std::u16string(u"guid ") + u"{0C5AF0D3}");
  EXPECT_FALSE(short_text.has_guid());
  EXPECT_EQ(short_text.get_guid(), u"");
  ole_guid_extractor no_word(std::u16string(u"identifier is ") + kGuid);
  EXPECT_FALSE(no_word.has_guid());
  ole_guid_extractor no_brace(u"guid is missing from this rather long text here, sorry");
  EXPECT_FALSE(no_brace.has_guid());
  EXPECT_EQ(no_brace.get_guid_digits(), u"");
  // A brace too near the end cannot hold a whole GUID.
  ole_guid_extractor cut(u"a long enough text that says guid = {0C5AF0D3-2B4E");
  EXPECT_FALSE(cut.has_guid());
  EXPECT_EQ(cut.get_guid_digits(), u"");
}
