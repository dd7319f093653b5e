#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TK/tk_strin.h"
#include "TK/tk_trace.h"

namespace {
std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class TraceTest : public ::testing::Test {
 protected:
  std::string path = (std::filesystem::temp_directory_path() /
                      ("dmw_trace_" + std::to_string(::getpid()) + ".log")).string();
  void TearDown() override { std::remove(path.c_str()); }
};
}  // namespace

TEST_F(TraceTest, DisabledTraceWritesNothing) {
  tk_trace log("", false, 3, false);
  trace(3, "milestone");
  log.set_file_name(path);
  trace(3, "still disabled");
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(TraceTest, FirstLineAfterEnablingEmptiesTheFileAndLevelsFilter) {
  { std::ofstream old(path); old << "previous run\r\n"; }
  tk_trace log("", false, 3, false);
  log.set_file_name(path);
  log.enable();
  trace(2, "entry %d", 1);  // dropped, but the file is emptied
  EXPECT_EQ(read_all(path), "");
  trace(3, "Converting table %s (%d records)", "EMP", 14);
  trace(3, u"wide %s", u"\u00e9t\u00e9");
  EXPECT_EQ(read_all(path), "Converting table EMP (14 records)\r\nwide \xc3\xa9t\xc3\xa9\r\n");
}

TEST_F(TraceTest, WideTextIsCutAndOverlongUtf8IsDropped) {
  tk_trace log(path, true, 1, false);
  std::u16string long_ascii(20000, u'a');
  trace(1, u"%s", long_ascii.c_str());
  std::string content = read_all(path);
  EXPECT_EQ(content.size(), 10239u + 2u);
  std::remove(path.c_str());
  // 5000 characters of three UTF-8 bytes each exceed the 10240-byte buffer.
  std::u16string wide(5000, u'\u20ac');
  trace(1, u"%s", wide.c_str());
  EXPECT_EQ(read_all(path), "\r\n");
}

TEST(TkSingleton, SecondConstructionIsAnInternalError) {
  tk_trace first("", false, 3, false);
  EXPECT_THROW(tk_trace("", false, 3, false), tk_mail_assertion);
  EXPECT_EQ(tk_trace::instance(), &first);
}

TEST(TkWformat, WindowsMeaningOfConversions) {
  EXPECT_EQ(tk_wformat(u"%s, record #%d", u"EMP", 3), u"EMP, record #3");
  EXPECT_EQ(tk_wformat(u"[%-4s|%3s]", u"ab", u"c"), u"[ab  |  c]");
  EXPECT_EQ(tk_wformat(u"%S %05.1f %x %lld", "n", 2.25, 255, 1LL << 40), u"n 002.2 ff 1099511627776");
  EXPECT_EQ(tk_wformat(u"%c%%", u'\u00e9'), u"\u00e9%");
}

TEST(TkText, TrimRemovesSpacesOnly) {
  EXPECT_EQ(tk_trim(u"  a b \t "), u"a b \t");
  EXPECT_EQ(tk_trim(u"    "), u"");
  EXPECT_EQ(tk_trim_left(u"  x "), u"x ");
  EXPECT_EQ(tk_trim_right(u"  x "), u"  x");
}

TEST(TkText, Utf8RoundTripKeepsSurrogatePairs) {
  std::u16string text = u"\u00c5ngstr\u00f6m \U0001F600";
  EXPECT_EQ(tk_to_utf8(text), "\xc3\x85ngstr\xc3\xb6m \xf0\x9f\x98\x80");
  EXPECT_EQ(tk_from_utf8(tk_to_utf8(text)), text);
  EXPECT_EQ(tk_from_utf8("a\xff" "b"), u"a\ufffdb");
}
