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

ole_date::ole_date(const char* text) { parse(text ? std::string(text) : std::string()); }

ole_date::ole_date(const std::u16string& text) { parse(tk_to_ansi(text)); }

void ole_date::parse(const std::string& original) {
  trace(1, "ole_date::ole_date('%s')", original.c_str());
  kind_ = not_valid;
  clear_time();

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
  bool afternoon = original.find("PM") != std::string::npos || original.find("pm") != std::string::npos;
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

std::string ole_date::to_string() const {
  trace(1, "ole_date::to_string");
  const SYSTEMTIME& t = time_;
  switch (kind_) {
    case date_time:
      trace(1, "printing datetime...");
      if (print_date_only_ && t.wHour == 0 && t.wMinute == 0 && t.wSecond == 0)
        return ole_c_format("%04d-%02d-%02d", t.wYear, t.wMonth, t.wDay);
      return ole_c_format("%04d-%02d-%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour,
                          t.wMinute, t.wSecond);
    case date_only:
      trace(1, "printing date...");
      return ole_c_format("%04d-%02d-%02d", t.wYear, t.wMonth, t.wDay);
    case time_only:
      trace(1, "printing time...");
      return ole_c_format("0000-00-00 %02d:%02d:%02d", t.wHour, t.wMinute, t.wSecond);
    default:
      return std::string();
  }
}

std::u16string ole_date::to_wstring() const {
  trace(1, "ole_date::to_wstring");
  return tk_from_ansi(to_string());
}
