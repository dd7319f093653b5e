#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "TK/tk_trace.h"
#include "common/init_conv.h"

namespace {
std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

struct recording_com : conversion_com {
  int initialized = 0;
  int uninitialized = 0;
  bool initialize() override { return ++initialized, true; }
  void uninitialize() override { ++uninitialized; }
};

struct recording_timer : conversion_front_end {
  int period = 0;
  void start_progress_timer(int period_ms) override { period = period_ms; }
};

class InitConversionTest : public ::testing::Test {
 protected:
  std::string path = (std::filesystem::temp_directory_path() /
                      ("dmw_banner_" + std::to_string(::getpid()) + ".log")).string();
  void TearDown() override {
    std::remove(path.c_str());
    init_conversion::set_com(nullptr);
    init_conversion::set_front_end(nullptr);
  }
};
}  // namespace

TEST_F(InitConversionTest, BannersFrameTheRunAndTheFlagIsSetAtTheEnd) {
  tk_trace log(path, true, 2, false);
  std::atomic<bool> finished{false};
  {
    init_conversion scope(finished, true);
    EXPECT_FALSE(finished);
  }
  EXPECT_TRUE(finished);
  const std::regex expected(
      "init_conversion::ctor\r\n"
      "Conversion started on ([0-3][0-9])/([01][0-9])/(20[0-9][0-9]) at [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\n\r\n"
      "init_conversion::dtor\r\n"
      "Conversion ended on ([0-3][0-9])/([01][0-9])/(20[0-9][0-9]) at [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\n\r\n");
  std::smatch parts;
  std::string content = read_all(path);
  ASSERT_TRUE(std::regex_match(content, parts, expected)) << content;
  // Day first, then month, as the local calendar says.
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  EXPECT_EQ(std::stoi(parts[3]), local.tm_year + 1900);
  EXPECT_EQ(std::stoi(parts[2]), local.tm_mon + 1);
  EXPECT_EQ(std::stoi(parts[1]), local.tm_mday);
}

TEST_F(InitConversionTest, BannersAreMilestonesAndTheEndBannerSurvivesAFailedRun) {
  tk_trace log(path, true, 3, false);
  std::atomic<bool> finished{false};
  try {
    init_conversion scope(finished, true);
    throw std::runtime_error("run failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_TRUE(finished);
  std::string content = read_all(path);
  EXPECT_EQ(content.find("init_conversion"), std::string::npos);
  EXPECT_EQ(content.rfind("Conversion started on ", 0), 0u);
  EXPECT_NE(content.find("\r\nConversion ended on "), std::string::npos);
}

TEST_F(InitConversionTest, ComIsSetUpOnlyWhenTheCallerHasNotAndTheTimerRunsEvery200ms) {
  recording_com com;
  recording_timer timer;
  init_conversion::set_com(&com);
  init_conversion::set_front_end(&timer);
  std::atomic<bool> finished{false};
  { init_conversion scope(finished, true); }
  EXPECT_EQ(com.initialized, 0);
  EXPECT_EQ(com.uninitialized, 0);
  EXPECT_EQ(timer.period, 200);
  {
    init_conversion scope(finished, false);
    EXPECT_EQ(com.initialized, 1);
    EXPECT_EQ(com.uninitialized, 0);
  }
  EXPECT_EQ(com.uninitialized, 1);
}
