#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "TK/tk_conv.h"
#include "TK/tk_excep.h"
#include "TK/tk_trace.h"
#include "tests/TK/decode_assertion.h"
#include "tests/TK/temp_dir.h"

namespace {
// The base run loop with a completion that comes after three waits.
class counting_converter : public tk_converter {
 public:
  int waits = 0;
  int finals = 0;
  bool is_complete() override { return waits == 3; }
  void wait_step() override { ++waits; }
  void final_step() override { ++finals; }
};

void expect_level1(const std::function<void()>& call, const std::string& text) {
  try {
    call();
    ADD_FAILURE() << "no exception, expected: " << text;
  } catch (const tk_mail_assertion& e) {
    ADD_FAILURE() << "internal error " << decoded_location(e);
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.text(), text);
    EXPECT_EQ(e.level(), 1);
  }
}
}  // namespace

TEST(TkConverter, RunWaitsUntilCompleteThenFinishes) {
  counting_converter c;
  c();
  EXPECT_EQ(c.waits, 3);
  EXPECT_EQ(c.finals, 1);
  EXPECT_FALSE(c.is_finished());
  c.set_quiet(true);
  EXPECT_TRUE(c.is_quiet());
  c.finished_flag() = true;
  EXPECT_TRUE(c.is_finished());
}

TEST(TkConverter, LogfileChecksComeBeforeAnyChange) {
  temp_dir dir;
  tk_trace log("", false, 3, false);
  counting_converter c;
  std::string ro = dir.file("ro.log");
  write_bytes(ro, "old");
  ASSERT_EQ(::chmod(ro.c_str(), 0444), 0);
  expect_level1([&] { c.set_logfile(ro); }, "Logfile name specifies an existing read-only file.");
  expect_level1([&] { c.set_logfile(dir.file("none/x.log")); },
                "Logfile path does not exist.\nPlease verify the correct path was given.");
  EXPECT_EQ(c.log_file_name(), "");
  EXPECT_FALSE(log.enabled());
  EXPECT_EQ(read_bytes(ro), "old");
}

TEST(TkConverter, LogfileEnablesTheTraceWhichStartsAFreshFile) {
  temp_dir dir;
  tk_trace log("", false, 3, false);
  counting_converter c;
  std::string name = dir.file("run.log");
  write_bytes(name, "previous run\r\n");
  c.set_logfile(name);
  EXPECT_EQ(c.log_file_name(), name);
  EXPECT_TRUE(log.enabled());
  EXPECT_EQ(log.file_name(), name);
  trace(3, "first");
  EXPECT_EQ(read_bytes(name), "first\r\n");
}

TEST(TkConverter, EmptyLogfileNameLeavesTheTraceAlone) {
  counting_converter c;
  c.set_logfile("");  // needs no trace object
  EXPECT_EQ(c.log_file_name(), "");
  tk_trace log("", false, 3, false);
  c.set_logfile("");
  EXPECT_FALSE(log.enabled());
}

TEST(TkConverter, LogfileWithoutTraceObjectIsAnInternalError) {
  temp_dir dir;
  counting_converter c;
  try {
    c.set_logfile(dir.file("x.log"));
    FAIL() << "no internal error";
  } catch (const tk_mail_assertion& e) {
    EXPECT_EQ(assertion_file(e), "tk_singl");
  }
  EXPECT_EQ(c.log_file_name(), "");
}
