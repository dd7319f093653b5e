#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "TK/tk_strin.h"
#include "TK/tk_utils.h"
#include "tests/TK/temp_dir.h"

// Read-only means: no write permission for the caller, or no write bit at all.
// The second rule makes the test meaningful when it runs as root, who may
// open any file for writing.
TEST(TkFileExist, ReadOnlyFilePassesReadAndFailsReadWrite) {
  temp_dir dir;
  std::string ro = dir.file("ro.log"), rw = dir.file("rw.log");
  write_bytes(ro, "x");
  write_bytes(rw, "x");
  ASSERT_EQ(::chmod(ro.c_str(), 0444), 0);
  EXPECT_TRUE(tk_is_file_exist(ro, tk_open_read));
  EXPECT_FALSE(tk_is_file_exist(ro, tk_open_read_write));
  EXPECT_TRUE(tk_is_file_exist(rw, tk_open_read));
  EXPECT_TRUE(tk_is_file_exist(rw, tk_open_read_write));
  EXPECT_TRUE(tk_is_file_exist(rw, 0));  // any mode but 1 reads
  // Group or other write permission alone still allows the owner (root) to write.
  ASSERT_EQ(::chmod(rw.c_str(), 0464), 0);
  if (::geteuid() == 0) {
    EXPECT_TRUE(tk_is_file_exist(rw, tk_open_read_write));
  }
}

TEST(TkFileExist, OnlyExistingRegularFilesCount) {
  temp_dir dir;
  EXPECT_FALSE(tk_is_file_exist(dir.file("missing"), tk_open_read));
  EXPECT_FALSE(tk_is_file_exist(dir.path(), tk_open_read));  // a folder is not a file
  EXPECT_FALSE(tk_is_file_exist(std::string(), tk_open_read));
  // A FIFO without a writer would block an ordinary open: it must answer at once.
  std::string fifo = dir.file("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(tk_is_file_exist(fifo, tk_open_read));
  EXPECT_FALSE(tk_is_file_exist(fifo, tk_open_read_write));
  EXPECT_FALSE(tk_is_file_exist(dir.file("missing/x"), tk_open_read_write));
}

TEST(TkFileExist, WideNamesGoThroughTheAnsiCodePage) {
  temp_dir dir;
  std::u16string name = tk_from_ansi(dir.path()) + u"/\u00e9t\u00e9.dmw";
  write_bytes(tk_to_ansi(name), "x");
  EXPECT_TRUE(tk_is_file_exist(name, tk_open_read_write));
  EXPECT_FALSE(tk_is_file_exist(name + u"x", tk_open_read));
}

TEST(TkPathExist, FoldersOnly) {
  temp_dir dir;
  write_bytes(dir.file("f"), "x");
  EXPECT_TRUE(tk_is_path_exist(dir.path()));
  EXPECT_TRUE(tk_is_path_exist(dir.path() + "/"));
  EXPECT_FALSE(tk_is_path_exist(dir.file("f")));
  EXPECT_FALSE(tk_is_path_exist(dir.file("none")));
  EXPECT_FALSE(tk_is_path_exist(std::string()));
  EXPECT_TRUE(tk_is_path_exist(tk_from_ansi(dir.path())));
  EXPECT_FALSE(tk_is_path_exist(tk_from_ansi(dir.file("f"))));
}
