#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "TK/tk_excep.h"
#include "TK/tk_fname.h"
#include "TK/tk_strin.h"
#include "tests/TK/decode_assertion.h"
#include "tests/TK/temp_dir.h"

namespace {
// Runs the test in a known current folder and restores the old one.
class FileNameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = std::filesystem::current_path();
    std::filesystem::create_directories(dir_.file("work/sub"));
    std::filesystem::current_path(dir_.file("work"));
    cwd_ = std::filesystem::current_path().string();
  }
  void TearDown() override { std::filesystem::current_path(old_); }

  temp_dir dir_;
  std::filesystem::path old_;
  std::string cwd_;
};
}  // namespace

TEST_F(FileNameTest, RelativeNameIsCompletedAndSplit) {
  tk_file_name f("sub/report.v2.mdb");
  EXPECT_EQ(f.drive(), "");
  EXPECT_EQ(f.folder(), cwd_ + "/sub/");
  EXPECT_EQ(f.name(), "report.v2");
  EXPECT_EQ(f.extension(), ".mdb");
  EXPECT_EQ(f.full_path(), cwd_ + "/sub/report.v2.mdb");

  tk_file_name plain("README");
  EXPECT_EQ(plain.name(), "README");
  EXPECT_EQ(plain.extension(), "");
  EXPECT_EQ(plain.folder(), cwd_ + "/");
}

TEST_F(FileNameTest, DotsAndRepeatedSeparatorsAreResolved) {
  std::string parent = std::filesystem::path(cwd_).parent_path().string();
  EXPECT_EQ(tk_file_name("../x.log").full_path(), parent + "/x.log");
  EXPECT_EQ(tk_file_name("./sub/../sub//./a.dmw").full_path(), cwd_ + "/sub/a.dmw");
  EXPECT_EQ(tk_file_name("/../../etc/./passwd").full_path(), "/etc/passwd");
  // A name that ends in ".." names the folder above as a file, as on Windows.
  tk_file_name up("sub/..");
  EXPECT_EQ(up.full_path(), cwd_);
  EXPECT_EQ(up.folder(), parent + "/");
}

TEST_F(FileNameTest, TrailingSeparatorNamesAFolderWithoutFileName) {
  tk_file_name f("sub/");
  EXPECT_EQ(f.folder(), cwd_ + "/sub/");
  EXPECT_EQ(f.name(), "");
  EXPECT_EQ(f.extension(), "");
  EXPECT_EQ(tk_file_name("/").folder(), "/");
}

TEST_F(FileNameTest, WideTwinAgreesWithNarrow) {
  tk_file_wname w(u"sub/\u00e9t\u00e9.mdb");
  EXPECT_EQ(w.folder(), tk_from_ansi(cwd_ + "/sub/"));
  EXPECT_EQ(w.name(), u"\u00e9t\u00e9");
  EXPECT_EQ(w.extension(), u".mdb");
  EXPECT_EQ(w.drive(), u"");
}

TEST_F(FileNameTest, PathOver260CharactersIsAnInternalError) {
  std::string name = "/" + std::string(259, 'a');  // exactly 260
  EXPECT_EQ(tk_file_name(name).full_path().size(), 260u);
  try {
    tk_file_name too_long(name + "b");
    FAIL() << "no internal error";
  } catch (const tk_mail_assertion& e) {
    EXPECT_EQ(assertion_file(e), "tk_fname");
    EXPECT_EQ(e.level(), 2);
  }
  EXPECT_THROW(tk_file_wname(u"/" + std::u16string(260, u'w')), tk_mail_assertion);
}

TEST(FileNameOwnProgram, EmptyNameIsTheProgramsOwnFile) {
  tk_file_name own("");
  EXPECT_EQ(own.name(), "test_tk");
  EXPECT_TRUE(std::filesystem::exists(own.full_path()));
  tk_file_wname wide(u"");
  EXPECT_EQ(wide.full_path(), tk_from_ansi(own.full_path()));
}
