#pragma once
// Failures of the engine. Each carries the DAO error number that the DAO
// objects will hand to their Errors collection, and DAO's text for it.
#include <stdexcept>
#include <string>

namespace jet_dao_error {
constexpr int file_not_found = 3024;
constexpr int file_in_use = 3045;
constexpr int corrupt = 3049;
constexpr int read_only = 3051;
constexpr int unrecognized_format = 3343;
constexpr int disk_full = 3026;
constexpr int disk_error = 3043;
constexpr int invalid_argument = 3001;
constexpr int item_not_found = 3265;
}  // namespace jet_dao_error

class jet_error : public std::runtime_error {
 public:
  jet_error(int dao_number, const std::string& text);
  int number() const { return number_; }

 private:
  int number_;
};

// DAO's messages for the file-level failures, with the file name filled in.
// The detail names what was wrong; it goes to the trace, not to the user.
jet_error jet_corrupt(const std::string& file, const std::string& detail);
jet_error jet_unrecognized(const std::string& file);
jet_error jet_not_found(const std::string& file);
// A failed read, write or sync as DAO names it: a full disk (ENOSPC, a
// quota: EDQUOT, the process's file-size limit: EFBIG) is 3026 "Not enough
// space on disk.", anything else 3043 "Disk or network error.".
jet_error jet_io_failure(int system_error);
// A file that would grow past what Access opens: Access itself answers
// 3001 "Invalid argument." when a database reaches its size limit.
jet_error jet_size_limit_reached();
