#pragma once
// A date/time value read from the many text shapes databases and users write
// (timestamps, date-only and time-only texts, AM/PM, the locale's own form),
// kept as a SYSTEMTIME together with its kind, and rendered in one fixed form:
// "YYYY-MM-DD HH:MM:SS", "YYYY-MM-DD" or "0000-00-00 HH:MM:SS".
// Parsing never throws: a text that cannot be read leaves the value not valid,
// which renders as empty text.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/oleauto.h"

class ole_date {
 public:
  enum kind_t : int32_t { not_valid = 0, date_time = 1, date_only = 2, time_only = 3 };

  explicit ole_date(const SYSTEMTIME& time);
  explicit ole_date(const std::string& text);
  explicit ole_date(const char* text);
  explicit ole_date(std::string_view text);
  // Narrowed with the ANSI code page, then read as the narrow form.
  explicit ole_date(const std::u16string& text);

  bool is_valid() const;
  // Date only when the clock reads 00:00:00, time only when there is no date.
  void refine_type();
  // Seconds with an optional fraction ("30.5"); rounds to whole seconds,
  // keeps the milliseconds and carries into minutes and hours.
  void process_milliseconds(const char* seconds);
  // Tries the known text forms in order; the first that reads wins.
  void import_from_string(const std::string& text);

  std::string to_string() const;
  std::u16string to_wstring() const;

  kind_t get_kind() const { return kind_; }
  const SYSTEMTIME& get_system_time() const { return time_; }
  // When set (every constructor sets it), a date and time at midnight prints as a date.
  void set_print_date_only(bool value) { print_date_only_ = value; }

 private:
  void parse(std::string_view text);
  // "YYYY-MM-DD" and "YYYY-MM-DD HH:MM:SS", the forms this class writes, read
  // without the general parser when they name a real date and time. False
  // leaves the text to the general parser.
  bool parse_written_form(std::string_view text);
  void clear_time() { time_ = SYSTEMTIME{}; }
  bool try_timestamp(const std::string& text);
  bool try_pure_time(const std::string& text);
  bool try_platform_parser(const std::string& text);
  bool try_explicit_forms(const std::string& text);
  // The rendered text into out (room for 20 characters); answers its length,
  // or 0 for a value that only the C library's formatting writes right.
  size_t render(char* out) const;

  bool print_date_only_ = true;
  kind_t kind_ = not_valid;
  SYSTEMTIME time_{};
};
