// DATE: days since 1899-12-30, the time of day as the fraction. Before that
// day the whole part is negative while the fraction still counts forward
// (-1.25 is 1899-12-29 06:00). Text is read and written by the en-US rules.
#include <cmath>
#include <ctime>
#include <string>
#include <vector>

#include "platform/oa_num.h"

namespace {

constexpr double before_first_date = -657435.0;  // the day before 0100-01-01
constexpr double past_last_date = 2958466.0;  // 10000-01-01
constexpr long seconds_per_day = 86400;

// Days from 1970-01-01 in the proleptic Gregorian calendar.
constexpr long days_from_civil(long y, long m, long d) {
  y -= m <= 2;
  long era = (y >= 0 ? y : y - 399) / 400;
  long yoe = y - era * 400;
  long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civil_from_days(long z, long* y, long* m, long* d) {
  z += 719468;
  long era = (z >= 0 ? z : z - 146096) / 146097;
  long doe = z - era * 146097;
  long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp + (mp < 10 ? 3 : -9);
  *y = yoe + era * 400 + (*m <= 2);
}

constexpr long epoch = days_from_civil(1899, 12, 30);

// Fractions of a day, as the divisions compose makes give them: read from a
// table instead of dividing at each value.
template <int N>
struct day_fractions {
  double of[N];
  constexpr explicit day_fractions(double per_day) : of{} {
    for (int i = 0; i < N; ++i) of[i] = i / per_day;
  }
};
constexpr day_fractions<24> hour_fractions(24.0);
constexpr day_fractions<60> minute_fractions(1440.0);
constexpr day_fractions<60> second_fractions(86400.0);

long date_serial(long y, long m, long d) { return days_from_civil(y, m, d) - epoch; }

bool is_leap(long y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

long days_in_month(long y, long m) {
  static const long days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && is_leap(y) ? 29 : days[m - 1];
}

// Two-digit years: 00-49 are 2000-2049, 50-99 are 1950-1999.
long full_year(long year) { return year < 50 ? 2000 + year : 1900 + year; }

// Hours, minutes and seconds are added one by one, as Windows does: the
// last bit of the result depends on the order.
double compose(long serial, long seconds) {
  double sign = serial < 0 ? -1.0 : 1.0;
  double d = static_cast<double>(serial);
  d += sign * (seconds / 3600) / 24.0;
  d += sign * (seconds / 60 % 60) / 1440.0;
  d += sign * (seconds % 60) / 86400.0;
  return d;
}

long current_year() {
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  return parts.tm_year + 1900;
}

// ---- Reading dates --------------------------------------------------------

struct token {
  enum kind { number, month, meridiem } kind;
  long value;       // number, month 1-12, or 0 for AM / 1 for PM
  int digits = 0;   // of a number as written
  bool time_link = false;  // a ':' or '.' separates it from the token before
};

bool word_matches(const std::u16string& word, const char* name) {
  std::string full = name;
  auto same = [&](size_t n) {
    if (word.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
      char16_t c = word[i];
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
      if (c != static_cast<char16_t>(full[i])) return false;
    }
    return true;
  };
  return same(full.size()) || same(3);
}

bool tokenize(const OLECHAR* text, std::vector<token>* out) {
  static const char* const months[] = {"january", "february", "march", "april", "may", "june", "july",
                                       "august", "september", "october", "november", "december"};
  static const char* const weekdays[] = {"sunday", "monday", "tuesday", "wednesday", "thursday", "friday",
                                         "saturday"};
  bool time_link = false;
  const OLECHAR* start = text;
  while (platform::oa::is_blank(*start)) ++start;
  if (*start == u'-' || *start == u'/' || *start == u',' || *start == u':' || *start == u'.') return false;
  for (const OLECHAR* p = text; *p;) {
    OLECHAR c = *p;
    if (c >= u'0' && c <= u'9') {
      token t{token::number, 0};
      for (; *p >= u'0' && *p <= u'9'; ++p) {
        if (t.value < 100000) t.value = t.value * 10 + (*p - u'0');
        ++t.digits;
      }
      t.time_link = time_link;
      time_link = false;
      out->push_back(t);
    } else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
      std::u16string word;
      for (; (*p >= u'a' && *p <= u'z') || (*p >= u'A' && *p <= u'Z'); ++p) word.push_back(*p);
      bool known = false;
      for (int m = 0; m < 12 && !known; ++m)
        if (word_matches(word, months[m])) { out->push_back({token::month, m + 1}); known = true; }
      for (int d = 0; d < 7 && !known; ++d) known = word_matches(word, weekdays[d]);
      if (!known && (word_matches(word, "am") || word == u"a" || word == u"A")) {
        out->push_back({token::meridiem, 0});
        known = true;
      }
      if (!known && (word_matches(word, "pm") || word == u"p" || word == u"P")) {
        out->push_back({token::meridiem, 1});
        known = true;
      }
      if (!known) return false;
      time_link = false;
    } else if (c == u':' || c == u'.') {
      time_link = true;
      ++p;
    } else if (c == u'/' || c == u'-' || c == u',' || platform::oa::is_blank(c) || c == 0x3000) {
      ++p;
    } else {
      return false;
    }
  }
  // A separator other than blanks must be followed by something.
  const OLECHAR* end = text;
  while (*end) ++end;
  while (end > start && (platform::oa::is_blank(end[-1]) || end[-1] == 0x3000)) --end;
  if (end > start && (end[-1] == u'-' || end[-1] == u'/' || end[-1] == u',')) return false;
  return !time_link;
}

struct reading {
  bool has_time = false;
  long hour = 0, minute = 0, second = 0;
  std::vector<token> date;  // numbers and month names, in order
};

// The time may open or close the text, never stand between parts of the date.
bool split_time(const std::vector<token>& tokens, reading* r) {
  for (size_t i = 0; i < tokens.size(); ++i) {
    const token& t = tokens[i];
    if (t.kind == token::number && !t.time_link &&
        ((i + 1 < tokens.size() && tokens[i + 1].time_link) ||
         (i + 1 < tokens.size() && tokens[i + 1].kind == token::meridiem))) {
      if (r->has_time) return false;
      bool after_date = !r->date.empty();
      r->has_time = true;
      long parts[3] = {t.value, 0, 0};
      size_t count = 1;
      while (i + 1 < tokens.size() && tokens[i + 1].time_link) {
        if (tokens[i + 1].kind != token::number || count == 3) return false;
        parts[count++] = tokens[++i].value;
      }
      if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return false;
      r->hour = parts[0];
      r->minute = parts[1];
      r->second = parts[2];
      if (i + 1 < tokens.size() && tokens[i + 1].kind == token::meridiem) {
        bool pm = tokens[++i].value == 1;
        if (pm && r->hour < 12) r->hour += 12;
        if (!pm && r->hour == 12) r->hour = 0;
      }
      if (after_date && i + 1 < tokens.size()) return false;
    } else if (t.kind == token::meridiem || t.time_link) {
      return false;
    } else {
      r->date.push_back(t);
    }
  }
  return true;
}

bool year_like(const token& t) { return t.digits >= 3 || t.value > 31; }

// `last_year` is 9999, or more when only the time of the text is wanted.
bool make_date(const token& y, long m, long d, long last_year, long* serial) {
  long year = y.value;
  if (y.digits <= 2) year = full_year(year);
  if (year < 100 || year > last_year || m < 1 || m > 12 || d < 1 || d > days_in_month(year, m)) return false;
  *serial = date_serial(year, m, d);
  return true;
}

bool resolve_date(const std::vector<token>& parts, long last_year, long* serial) {
  std::vector<token> numbers;
  long month = 0;
  for (const token& t : parts) {
    if (t.kind == token::month) {
      if (month) return false;
      month = t.value;
    } else {
      numbers.push_back(t);
    }
  }
  token this_year{token::number, current_year()};
  this_year.digits = 4;
  if (month) {
    if (numbers.size() == 1) {
      const token& n = numbers[0];
      return year_like(n) ? make_date(n, month, 1, last_year, serial) : make_date(this_year, month, n.value, last_year, serial);
    }
    if (numbers.size() != 2) return false;
    const token& a = numbers[0];
    const token& b = numbers[1];
    if (year_like(b)) return make_date(b, month, a.value, last_year, serial);
    return make_date(a, month, b.value, last_year, serial);
  }
  if (numbers.size() == 2) {
    const token& a = numbers[0];
    const token& b = numbers[1];
    // Month and day of this year, either way round; else month and year.
    if (!year_like(b) && make_date(this_year, a.value, b.value, last_year, serial)) return true;
    if (!year_like(b) && make_date(this_year, b.value, a.value, last_year, serial)) return true;
    return make_date(b, a.value, 1, last_year, serial);
  }
  if (numbers.size() != 3) return false;
  const token& a = numbers[0];
  const token& b = numbers[1];
  const token& c = numbers[2];
  if (year_like(a)) return make_date(a, b.value, c.value, last_year, serial) || make_date(a, c.value, b.value, last_year, serial);
  if (make_date(c, a.value, b.value, last_year, serial)) return true;
  if (year_like(c)) return make_date(c, b.value, a.value, last_year, serial);
  return make_date(a, b.value, c.value, last_year, serial) || make_date(c, b.value, a.value, last_year, serial);
}

HRESULT store_text(const std::string& ascii, BSTR* out) {
  std::u16string wide = platform::oa::widen(ascii);
  *out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

extern "C" {

INT SystemTimeToVariantTime(LPSYSTEMTIME lpSystemTime, DOUBLE* pvtime) {
  if (!lpSystemTime || !pvtime) return FALSE;
  const SYSTEMTIME& st = *lpSystemTime;
  long year = st.wYear, month = st.wMonth;
  if (year > 9999 || month > 12 || st.wDay > 31) return FALSE;
  if (year < 100) year = full_year(year);
  // Month 0, day 0 and times past the end of a day roll back or over.
  if (month == 0) { month = 12; --year; }
  if (st.wHour < 24 && st.wMinute < 60 && st.wSecond < 60) {
    // The usual case: a year of 99 on, no field rolling over. Divisions by
    // constants only, and the fractions of the day added in compose's order.
    unsigned long y = static_cast<unsigned long>(year - (month <= 2));
    unsigned long shifted = static_cast<unsigned long>(month > 2 ? month - 3 : month + 9);
    long days = static_cast<long>(y * 365 + y / 4 - y / 100 + y / 400 + (153 * shifted + 2) / 5) +
                st.wDay - 1 - 719468 - epoch;
    if (days >= 0) {
      double d = static_cast<double>(days);
      d += hour_fractions.of[st.wHour];
      d += minute_fractions.of[st.wMinute];
      d += second_fractions.of[st.wSecond];
      *pvtime = d;
      return TRUE;
    }
  }
  long serial = date_serial(year, month, 1) + st.wDay - 1;
  long seconds = st.wHour * 3600L + st.wMinute * 60L + st.wSecond;
  serial += seconds / seconds_per_day;
  seconds %= seconds_per_day;
  *pvtime = compose(serial, seconds);
  return TRUE;
}

INT VariantTimeToSystemTime(DOUBLE vtime, LPSYSTEMTIME lpSystemTime) {
  if (!lpSystemTime || !(vtime > before_first_date && vtime < past_last_date)) return FALSE;
  double whole = std::trunc(vtime);
  long serial = static_cast<long>(whole);
  long seconds = static_cast<long>(std::floor(std::fabs(vtime - whole) * seconds_per_day + 0.5));
  if (seconds >= seconds_per_day) {
    seconds -= seconds_per_day;
    ++serial;
  }
  long y, m, d;
  civil_from_days(serial + epoch, &y, &m, &d);
  SYSTEMTIME st;
  st.wYear = static_cast<WORD>(y);
  st.wMonth = static_cast<WORD>(m);
  st.wDay = static_cast<WORD>(d);
  st.wDayOfWeek = static_cast<WORD>(((serial % 7) + 7 + 6) % 7);  // 1899-12-30 was a Saturday
  st.wHour = static_cast<WORD>(seconds / 3600);
  st.wMinute = static_cast<WORD>(seconds / 60 % 60);
  st.wSecond = static_cast<WORD>(seconds % 60);
  st.wMilliseconds = 0;
  *lpSystemTime = st;
  return TRUE;
}

HRESULT VarBstrFromDate(DATE dateIn, LCID, ULONG dwFlags, BSTR* pbstrOut) {
  if (!pbstrOut) return E_INVALIDARG;
  *pbstrOut = nullptr;
  SYSTEMTIME st;
  if (!VariantTimeToSystemTime(dateIn, &st)) return E_INVALIDARG;
  double whole = std::trunc(dateIn);
  bool show_date = whole != 0 && !(dwFlags & VAR_TIMEVALUEONLY);
  bool show_time = (dateIn != whole || !show_date) && !(dwFlags & VAR_DATEVALUEONLY);
  std::string text;
  if (show_date)
    text = std::to_string(st.wMonth) + "/" + std::to_string(st.wDay) + "/" + std::to_string(st.wYear);
  if (show_time) {
    char buf[32];
    int hour12 = st.wHour % 12 == 0 ? 12 : st.wHour % 12;
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d %s", hour12, st.wMinute, st.wSecond, st.wHour < 12 ? "AM" : "PM");
    if (!text.empty()) text += " ";
    text += buf;
  }
  return store_text(text, pbstrOut);
}

HRESULT VarDateFromStr(LPCOLESTR strIn, LCID, ULONG dwFlags, DATE* pdateOut) {
  if (!strIn || !pdateOut) return E_INVALIDARG;
  std::vector<token> tokens;
  reading r;
  if (!tokenize(strIn, &tokens) || tokens.empty() || !split_time(tokens, &r)) return DISP_E_TYPEMISMATCH;
  long serial = 0;
  long last_year = (dwFlags & VAR_TIMEVALUEONLY) ? 99999 : 9999;
  if (!r.date.empty() && !resolve_date(r.date, last_year, &serial)) return DISP_E_TYPEMISMATCH;
  if (r.date.empty() && !r.has_time) return DISP_E_TYPEMISMATCH;
  long seconds = r.hour * 3600 + r.minute * 60 + r.second;
  if (dwFlags & VAR_TIMEVALUEONLY) serial = 0;
  if (dwFlags & VAR_DATEVALUEONLY) seconds = 0;
  *pdateOut = compose(serial, seconds);
  return S_OK;
}

}  // extern "C"
