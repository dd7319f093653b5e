#pragma once
// Helpers shared by the layer's tests: which source file an internal error
// names, and a trace log captured into a temporary file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "TK/tk_excep.h"
#include "TK/tk_trace.h"

namespace udb_check {

// The "file\line" an internal error's text hides behind its hexadecimal code.
inline std::string assertion_location(const tk_exception& e) {
  const std::string marker = "code=";
  const size_t at = e.text().find(marker);
  if (at == std::string::npos) return {};
  const std::string hex = e.text().substr(at + marker.size());
  std::string location;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    location.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return location;
}

inline std::string assertion_source(const tk_exception& e) {
  const std::string location = assertion_location(e);
  return location.substr(0, location.find('\\'));
}

// A trace log at level 1 written to a file of its own for one test.
class trace_capture {
 public:
  trace_capture()
      : path_((std::filesystem::temp_directory_path() /
               ("dmw_udb_" + std::to_string(::getpid()) + ".log")).string()),
        log_(std::make_unique<tk_trace>(path_, true, 1, false)) {}
  ~trace_capture() {
    log_.reset();
    std::remove(path_.c_str());
  }
  std::string text() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  bool has_line(const std::string& line) const {
    return text().find(line + "\r\n") != std::string::npos;
  }

 private:
  std::string path_;
  std::unique_ptr<tk_trace> log_;
};

}  // namespace udb_check

// Expects the statement to raise an internal error naming the source file.
#define EXPECT_INTERNAL_ERROR(statement, source_file)                         \
  do {                                                                        \
    try {                                                                     \
      statement;                                                              \
      ADD_FAILURE() << "no internal error from " #statement;                  \
    } catch (const tk_mail_assertion& e) {                                    \
      EXPECT_EQ(udb_check::assertion_source(e), source_file);                 \
      EXPECT_EQ(e.level(), 2);                                                \
    }                                                                         \
  } while (0)
