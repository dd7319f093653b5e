#include "OLE/ole_date.h"

#include <cstdio>
#include <vector>

#include "OLE/ole_cnum.h"
#include "TK/tk_excep.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"

namespace {
WORD word_of(int value) { return static_cast<WORD>(value); }
WORD word_of(short value) { return static_cast<WORD>(value); }
}  // namespace

ole_date::ole_date(const SYSTEMTIME& time) : kind_(date_time), time_(time) {
  trace(1, "ole_date::ole_date(SYSTEMTIME)");
  refine_type();
}

ole_date::ole_date(const std::string& text) { parse(text); }

ole_date::ole_date(const char* text) { parse(text ? std::string_view(text) : std::string_view()); }

ole_date::ole_date(std::string_view text) { parse(text); }

ole_date::ole_date(const std::u16string& text) { parse(tk_to_ansi(text)); }

namespace {
// n decimal digits at text[at]; false when one of them is not a digit.
bool read_digits(std::string_view text, size_t at, size_t n, int& value) {
  value = 0;
  for (size_t i = at; i < at + n; ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

bool is_leap_year(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in_month(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap_year(year) ? 29 : days[month - 1];
}
}  // namespace

// The general parser reads these texts through the platform's date parser
// (neither timestamp form nor the pure time form takes them), which accepts
// exactly the real dates of the years 100 to 9999 with a time of day. The
// same date number is made here and turned back into the record, so the
// value, its day of the week and its kind come out as that path gives them.
bool ole_date::parse_written_form(std::string_view text) {
  if (text.size() != 10 && text.size() != 19) return false;
  int year, month, day, hour = 0, minute = 0, second = 0;
  if (!read_digits(text, 0, 4, year) || text[4] != '-' || !read_digits(text, 5, 2, month) || text[7] != '-' ||
      !read_digits(text, 8, 2, day)) {
    return false;
  }
  if (text.size() == 19 && (text[10] != ' ' || !read_digits(text, 11, 2, hour) || text[13] != ':' ||
                            !read_digits(text, 14, 2, minute) || text[16] != ':' ||
                            !read_digits(text, 17, 2, second))) {
    return false;
  }
  if (year < 100 || month < 1 || month > 12 || day < 1 || day > days_in_month(year, month) || hour > 23 ||
      minute > 59 || second > 59) {
    return false;
  }
  SYSTEMTIME written{};
  written.wYear = word_of(year);
  written.wMonth = word_of(month);
  written.wDay = word_of(day);
  written.wHour = word_of(hour);
  written.wMinute = word_of(minute);
  written.wSecond = word_of(second);
  DATE number = 0;
  SYSTEMTIME parsed{};
  if (!SystemTimeToVariantTime(&written, &number) || !VariantTimeToSystemTime(number, &parsed)) return false;
  time_ = parsed;
  kind_ = date_time;
  refine_type();
  return true;
}

void ole_date::parse(std::string_view original) {
  trace(1, "ole_date::ole_date('%.*s')", static_cast<int>(original.size()), original.data());
  kind_ = not_valid;
  clear_time();
  // The short way writes none of the general parser's detail lines, so it
  // is taken only while they would not be written anyway.
  if (!trace_writes(1) && parse_written_form(original)) return;

  std::string text = tk_trim(original);
  trace(1, "After tk_trim: %s", text.c_str());
  for (const char* marker : {"AM", "PM", "am", "pm"}) {
    size_t at = text.find(marker);
    if (at == std::string::npos) continue;
    text = tk_trim(std::string_view(text).substr(0, at));
    break;
  }
  trace(1, "Again buf1=%s", text.c_str());

  if (text.size() <= 4) {
    trace(2, "Invalid date/time format: '%s'", text.c_str());
    kind_ = not_valid;
    return;
  }
  import_from_string(text);

  // Texts written day first ("04.03.2011") are read with the day in the year's place.
  if ((kind_ == date_time || kind_ == date_only) && time_.wDay > 31 && time_.wYear < 32) {
    std::swap(time_.wDay, time_.wYear);
  }
  bool afternoon = original.find("PM") != std::string_view::npos || original.find("pm") != std::string_view::npos;
  if (afternoon && time_.wHour <= 11) time_.wHour = static_cast<WORD>(time_.wHour + 12);
}

bool ole_date::is_valid() const {
  trace(1, "ole_date::is_valid");
  if (kind_ == not_valid) return false;
  if (time_.wDay == 0 && time_.wMonth == 0 && time_.wYear == 0) {
    trace(1, "DATETIME is a pute time");
  } else {
    if (time_.wMonth == 0 || time_.wMonth > 12) {
      trace(1, "Invalid month");
      return false;
    }
    if (time_.wDay == 0 || time_.wYear == 0 || (time_.wYear > 31 && time_.wDay > 31)) {
      trace(1, "Invalid day and/or year");
      return false;
    }
  }
  if (time_.wHour > 60 || time_.wMinute > 60 || time_.wSecond > 60) {
    trace(1, "Invalid time");
    return false;
  }
  return true;
}

void ole_date::refine_type() {
  trace(1, "ole_date::refine_type(%d,%d,%d,%d,%d,%d)", time_.wYear, time_.wMonth, time_.wDay,
        time_.wHour, time_.wMinute, time_.wSecond);
  bool no_date = time_.wDay == 0 && time_.wMonth == 0 && time_.wYear == 0;
  bool full_date = time_.wDay != 0 && time_.wMonth != 0 && time_.wYear != 0;
  bool midnight = time_.wHour == 0 && time_.wMinute == 0 && time_.wSecond == 0;
  if (no_date) kind_ = time_only;
  else if (midnight && full_date) kind_ = date_only;
}

void ole_date::process_milliseconds(const char* seconds) {
  trace(1, "ole_date::process_milliseconds");
  TK_CHECK(seconds != nullptr, "ole_date");
  trace(1, "Got row sec: '%s'", seconds);
  double x = ole_c_atof(seconds);
  int whole = static_cast<int>(x);
  trace(1, "Got sec: %d", whole);
  int millis = static_cast<int>((x - whole) * 1000);
  trace(1, "Got msec: %d", millis);
  time_.wMilliseconds = word_of(millis);
  if (millis >= 500) ++whole;

  int second = whole, minute = time_.wMinute, hour = time_.wHour;
  if (second > 59) { second -= 60; ++minute; }
  if (minute > 59) { minute -= 60; ++hour; }
  if (hour > 23) hour -= 24;
  time_.wSecond = word_of(second);
  time_.wMinute = word_of(minute);
  time_.wHour = word_of(hour);
  trace(1, "After processing: %02d:%02d:%02d", hour, minute, second);
}

bool ole_date::try_timestamp(const std::string& text) {
  if (text.size() == 14) {
    trace(1, "Trying timestamp format (1)...");
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (std::sscanf(text.c_str(), "%4d%02d%02d%02d%02d%02d", &y, &mo, &d, &h, &mi, &s) == 6) {
      time_.wYear = word_of(y); time_.wMonth = word_of(mo); time_.wDay = word_of(d);
      time_.wHour = word_of(h); time_.wMinute = word_of(mi); time_.wSecond = word_of(s);
      kind_ = date_time;
      if (is_valid()) return true;
    }
    clear_time();
  } else if (text.size() == 8) {
    trace(1, "Trying timestamp format (2)...");
    int y = 0, mo = 0, d = 0;
    if (std::sscanf(text.c_str(), "%4d%02d%02d", &y, &mo, &d) == 3) {
      time_.wYear = word_of(y); time_.wMonth = word_of(mo); time_.wDay = word_of(d);
      kind_ = date_only;
      if (is_valid()) return true;
    }
    clear_time();
  }
  kind_ = not_valid;
  return false;
}

bool ole_date::try_pure_time(const std::string& text) {
  trace(1, "Trying pure time format...");
  short h = 0, mi = 0;
  std::vector<char> seconds(text.size() + 1, '\0');
  if (std::sscanf(text.c_str(), "%hd:%hd:%s", &h, &mi, seconds.data()) == 3) {
    time_.wHour = word_of(h);
    time_.wMinute = word_of(mi);
    kind_ = time_only;
    if (is_valid()) {
      process_milliseconds(seconds.data());
      return true;
    }
  }
  clear_time();
  kind_ = not_valid;
  return false;
}

bool ole_date::try_platform_parser(const std::string& text) {
  LCID locale = GetSystemDefaultLCID();
  if (locale == 0) locale = LOCALE_EN_US;
  std::u16string wide = tk_from_ansi(text);
  DATE date = 0;
  SYSTEMTIME parsed{};
  if (FAILED(VarDateFromStr(wide.c_str(), locale, 0, &date))) return false;
  if (!VariantTimeToSystemTime(date, &parsed)) return false;
  trace(1, "Got datetime using Microsoft API");
  time_ = parsed;
  kind_ = date_time;
  refine_type();
  return true;
}

bool ole_date::try_explicit_forms(const std::string& text) {
  static const char* const forms[] = {"%hd-%hd-%hd %hd:%hd:%s", "%hd/%hd/%hd %hd:%hd:%s",
                                      "%hd.%hd.%hd %hd:%hd:%s"};
  std::vector<char> seconds(text.size() + 1, '\0');
  for (int i = 0; i < 3; ++i) {
    trace(1, "Trying datetime format #%d", i);
    short y = 0, mo = 0, d = 0, h = 0, mi = 0;
    seconds[0] = '\0';
    int items = std::sscanf(text.c_str(), forms[i], &y, &mo, &d, &h, &mi, seconds.data());
    if (items != 3 && items != 6) continue;
    clear_time();
    time_.wYear = word_of(y); time_.wMonth = word_of(mo); time_.wDay = word_of(d);
    if (items == 3) {
      trace(1, "Format #%d succeeded (3 items)", i);
      kind_ = date_only;
      if (is_valid()) return true;
    } else {
      trace(1, "Format #%d succeeded (6 items)", i);
      time_.wHour = word_of(h); time_.wMinute = word_of(mi);
      kind_ = date_time;
      if (is_valid()) {
        process_milliseconds(seconds.data());
        refine_type();
        return true;
      }
    }
    clear_time();
    kind_ = not_valid;
  }
  return false;
}

void ole_date::import_from_string(const std::string& text) {
  trace(1, "ole_date::import_from_string");
  clear_time();
  kind_ = not_valid;
  if (try_timestamp(text) || try_pure_time(text) || try_platform_parser(text) ||
      try_explicit_forms(text)) {
    return;
  }
  clear_time();
  kind_ = not_valid;
  trace(2, "Invalid date/time format: '%s'", text.c_str());
}

namespace {
// Zero-padded decimal digits, as "%0*d" writes a value that fits them.
char* put_digits(char* out, unsigned value, int width) {
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out + width;
}
}  // namespace

size_t ole_date::render(char* out) const {
  const SYSTEMTIME& t = time_;
  if (t.wYear > 9999 || t.wMonth > 99 || t.wDay > 99 || t.wHour > 99 || t.wMinute > 99 || t.wSecond > 99) return 0;
  char* p = out;
  bool with_date = kind_ != time_only;
  bool with_time = kind_ == time_only ||
                   (kind_ == date_time && !(print_date_only_ && t.wHour == 0 && t.wMinute == 0 && t.wSecond == 0));
  if (with_date) {
    p = put_digits(p, t.wYear, 4);
    *p++ = '-';
    p = put_digits(p, t.wMonth, 2);
    *p++ = '-';
    p = put_digits(p, t.wDay, 2);
  } else {
    for (const char* c = "0000-00-00"; *c; ++c) *p++ = *c;
  }
  if (with_time) {
    *p++ = ' ';
    p = put_digits(p, t.wHour, 2);
    *p++ = ':';
    p = put_digits(p, t.wMinute, 2);
    *p++ = ':';
    p = put_digits(p, t.wSecond, 2);
  }
  return static_cast<size_t>(p - out);
}

std::string ole_date::to_string() const {
  trace(1, "ole_date::to_string");
  const SYSTEMTIME& t = time_;
  char text[20];
  switch (kind_) {
    case date_time: {
      trace(1, "printing datetime...");
      if (size_t n = render(text)) return std::string(text, n);
      if (print_date_only_ && t.wHour == 0 && t.wMinute == 0 && t.wSecond == 0)
        return ole_c_format("%04d-%02d-%02d", t.wYear, t.wMonth, t.wDay);
      return ole_c_format("%04d-%02d-%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour,
                          t.wMinute, t.wSecond);
    }
    case date_only:
      trace(1, "printing date...");
      if (size_t n = render(text)) return std::string(text, n);
      return ole_c_format("%04d-%02d-%02d", t.wYear, t.wMonth, t.wDay);
    case time_only:
      trace(1, "printing time...");
      if (size_t n = render(text)) return std::string(text, n);
      return ole_c_format("0000-00-00 %02d:%02d:%02d", t.wHour, t.wMinute, t.wSecond);
    default:
      return std::string();
  }
}

std::u16string ole_date::to_wstring() const {
  trace(1, "ole_date::to_wstring");
  std::string text = to_string();
  // Digits and separators read the same in every ANSI code page.
  return std::u16string(text.begin(), text.end());
}
