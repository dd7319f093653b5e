#include "jet/format/error.h"

#include <cerrno>

jet_error::jet_error(int dao_number, const std::string& text)
    : std::runtime_error(text), number_(dao_number) {}

jet_error jet_corrupt(const std::string& file, const std::string& detail) {
  return jet_error(jet_dao_error::corrupt,
                   "Cannot open database '" + file +
                       "'. It may not be a database that your application recognizes, "
                       "or the file may be corrupt. (" + detail + ")");
}

jet_error jet_unrecognized(const std::string& file) {
  return jet_error(jet_dao_error::unrecognized_format,
                   "Unrecognized database format '" + file + "'.");
}

jet_error jet_not_found(const std::string& file) {
  return jet_error(jet_dao_error::file_not_found, "Could not find file '" + file + "'.");
}

jet_error jet_io_failure(int system_error) {
  if (system_error == ENOSPC || system_error == EDQUOT || system_error == EFBIG)
    return jet_error(jet_dao_error::disk_full, "Not enough space on disk.");
  return jet_error(jet_dao_error::disk_error, "Disk or network error.");
}

jet_error jet_size_limit_reached() { return jet_error(jet_dao_error::invalid_argument, "Invalid argument."); }
