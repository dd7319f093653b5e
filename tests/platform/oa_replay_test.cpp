// Replays the answers oleaut32 gave (recorded under Wine by
// tools/oleauto_vectors/generate.sh) against our OLE Automation layer.
// oleauto_windows.tsv replaces the answers where Windows and Wine disagree.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/oleauto.h"

namespace {

using u128 = unsigned __int128;

std::vector<std::string> split_tabs(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, '\t')) fields.push_back(field);
  if (!line.empty() && line.back() == '\t') fields.emplace_back();
  return fields;
}

// ---- The text forms the probe writes and reads ------------------------------

std::u16string unescape(const std::string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      char c = s[i + 1];
      if (c == 'u') { out.push_back(static_cast<char16_t>(std::stoul(s.substr(i + 2, 4), nullptr, 16))); i += 6; continue; }
      if (c == 't') { out.push_back(u'\t'); i += 2; continue; }
      if (c == 'n') { out.push_back(u'\n'); i += 2; continue; }
      if (c == '\\') { out.push_back(u'\\'); i += 2; continue; }
    }
    out.push_back(static_cast<unsigned char>(s[i++]));
  }
  return out;
}

std::string escape(const char16_t* s, size_t len) {
  std::string out;
  for (size_t i = 0; i < len; ++i) {
    char16_t c = s[i];
    if (c == u'\\') out += "\\\\";
    else if (c == u'\t') out += "\\t";
    else if (c == u'\n') out += "\\n";
    else if (c >= 0x20 && c < 0x7F) out.push_back(static_cast<char>(c));
    else { char buf[8]; std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c)); out += buf; }
  }
  return out;
}

std::string text_of(u128 v) {
  std::string s;
  do { s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(v % 10))); v /= 10; } while (v);
  return s;
}

std::string dec_text(const DECIMAL& d) {
  u128 m = (static_cast<u128>(d.Hi32) << 64) | d.Lo64;
  return std::string(d.sign & DECIMAL_NEG ? "-" : "") + text_of(m) + "@" + std::to_string(d.scale);
}

DECIMAL make_dec(const std::string& s) {
  DECIMAL d{};
  size_t i = 0;
  if (s[i] == '-') { d.sign = DECIMAL_NEG; ++i; }
  u128 m = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) m = m * 10 + static_cast<unsigned>(s[i] - '0');
  if (i < s.size() && s[i] == '@') d.scale = static_cast<BYTE>(std::stoi(s.substr(i + 1)));
  d.Lo64 = static_cast<ULONGLONG>(m);
  d.Hi32 = static_cast<ULONG>(m >> 64);
  return d;
}

// Doubles compare by their bits; the decimal form after them is for readers.
std::string r8_text(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%016llX", static_cast<unsigned long long>(bits));
  return buf;
}

double make_r8(const std::string& s) {
  if (!s.empty() && s[0] == 'x') {
    uint64_t bits = std::stoull(s.substr(1), nullptr, 16);
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
  }
  return std::strtod(s.c_str(), nullptr);
}

// Strips the readable "(...)" after the 16 hexadecimal digits of a double.
std::string comparable(std::string answer) {
  size_t open = answer.find('(');
  if (open == std::string::npos || open < 16 || answer.back() != ')') return answer;
  size_t start = open - 16;
  if (start > 0 && answer[start - 1] != ':') return answer;
  if (answer.find_first_not_of("0123456789ABCDEF", start) != open) return answer;
  return answer.erase(open);
}

std::string st_text(const SYSTEMTIME& st) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d-%d-%d %d:%d:%d.%d w%d", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                st.wSecond, st.wMilliseconds, st.wDayOfWeek);
  return buf;
}

SYSTEMTIME make_st(const std::string& s) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0, ms = 0;
  std::sscanf(s.c_str(), "%d-%d-%d %d:%d:%d.%d", &y, &mo, &d, &h, &mi, &se, &ms);
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(y);
  st.wMonth = static_cast<WORD>(mo);
  st.wDay = static_cast<WORD>(d);
  st.wHour = static_cast<WORD>(h);
  st.wMinute = static_cast<WORD>(mi);
  st.wSecond = static_cast<WORD>(se);
  st.wMilliseconds = static_cast<WORD>(ms);
  return st;
}

const std::map<std::string, VARTYPE>& type_names() {
  static const std::map<std::string, VARTYPE> names = {
      {"EMPTY", VT_EMPTY}, {"NULL", VT_NULL}, {"I1", VT_I1},   {"I2", VT_I2},           {"I4", VT_I4},
      {"UI1", VT_UI1},     {"UI2", VT_UI2},   {"UI4", VT_UI4}, {"I8", VT_I8},           {"UI8", VT_UI8},
      {"R4", VT_R4},       {"R8", VT_R8},     {"CY", VT_CY},   {"DECIMAL", VT_DECIMAL}, {"BOOL", VT_BOOL},
      {"DATE", VT_DATE},   {"BSTR", VT_BSTR}, {"INT", VT_INT}, {"UINT", VT_UINT},       {"ERROR", VT_ERROR}};
  return names;
}

std::string type_name(VARTYPE vt) {
  for (const auto& [name, code] : type_names())
    if (code == vt) return name;
  return "?";
}

VARIANT make_variant(const std::string& typed) {
  size_t colon = typed.find(':');
  std::string name = typed.substr(0, colon);
  std::string text = colon == std::string::npos ? "" : typed.substr(colon + 1);
  VARIANT v;
  VariantInit(&v);
  VARTYPE vt = type_names().at(name);
  switch (vt) {
    case VT_I1: v.cVal = static_cast<CHAR>(std::stoi(text)); break;
    case VT_I2: v.iVal = static_cast<SHORT>(std::stoi(text)); break;
    case VT_I4: v.lVal = static_cast<LONG>(std::stoll(text)); break;
    case VT_UI1: v.bVal = static_cast<BYTE>(std::stoi(text)); break;
    case VT_UI2: v.uiVal = static_cast<USHORT>(std::stoi(text)); break;
    case VT_UI4: v.ulVal = static_cast<ULONG>(std::stoull(text)); break;
    case VT_I8: v.llVal = std::stoll(text); break;
    case VT_UI8: v.ullVal = std::stoull(text); break;
    case VT_R4: v.fltVal = static_cast<float>(make_r8(text)); break;
    case VT_R8: v.dblVal = make_r8(text); break;
    case VT_DATE: v.date = make_r8(text); break;
    case VT_CY: v.cyVal.int64 = std::stoll(text); break;
    case VT_DECIMAL: v.decVal = make_dec(text); break;
    case VT_BOOL: v.boolVal = static_cast<VARIANT_BOOL>(std::stoi(text)); break;
    case VT_BSTR: {
      std::u16string s = unescape(text);
      v.bstrVal = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
      break;
    }
    default: break;
  }
  v.vt = vt;  // after the value: a DECIMAL covers the type field
  return v;
}

std::string variant_text(const VARIANT& v) {
  std::string out = type_name(v.vt) + ":";
  switch (v.vt) {
    case VT_I1: return out + std::to_string(v.cVal);
    case VT_I2: return out + std::to_string(v.iVal);
    case VT_I4: return out + std::to_string(v.lVal);
    case VT_UI1: return out + std::to_string(v.bVal);
    case VT_UI2: return out + std::to_string(v.uiVal);
    case VT_UI4: return out + std::to_string(v.ulVal);
    case VT_I8: return out + std::to_string(v.llVal);
    case VT_UI8: return out + std::to_string(v.ullVal);
    case VT_R4: return out + r8_text(v.fltVal);
    case VT_R8: return out + r8_text(v.dblVal);
    case VT_DATE: return out + r8_text(v.date);
    case VT_CY: return out + std::to_string(v.cyVal.int64);
    case VT_DECIMAL: return out + dec_text(v.decVal);
    case VT_BOOL: return out + std::to_string(v.boolVal);
    case VT_BSTR: return out + escape(v.bstrVal, SysStringLen(v.bstrVal));
    default: return out;
  }
}

std::string hr_text(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(hr));
  return buf;
}

// Runs one case through our layer: the HRESULT (or BOOL) and the result.
std::pair<std::string, std::string> run(const std::string& op, const std::string& target, LCID lcid, ULONG flags,
                                        const std::string& arg) {
  if (op == "change") {
    VARIANT src = make_variant(arg), dst;
    VariantInit(&dst);
    HRESULT hr = VariantChangeType(&dst, &src, static_cast<USHORT>(flags), type_names().at(target));
    std::string result = SUCCEEDED(hr) ? variant_text(dst) : "-";
    VariantClear(&dst);
    VariantClear(&src);
    return {hr_text(hr), result};
  }
  if (op == "dec_from_str") {
    DECIMAL d{};
    HRESULT hr = VarDecFromStr(unescape(arg).c_str(), lcid, flags, &d);
    return {hr_text(hr), SUCCEEDED(hr) ? dec_text(d) : "-"};
  }
  if (op == "cy_from_str") {
    CY c{};
    HRESULT hr = VarCyFromStr(unescape(arg).c_str(), lcid, flags, &c);
    return {hr_text(hr), SUCCEEDED(hr) ? std::to_string(c.int64) : "-"};
  }
  if (op == "date_from_str") {
    DATE d = 0;
    HRESULT hr = VarDateFromStr(unescape(arg).c_str(), lcid, flags, &d);
    return {hr_text(hr), SUCCEEDED(hr) ? r8_text(d) : "-"};
  }
  if (op == "bstr_from_dec") {
    DECIMAL d = make_dec(arg);
    BSTR out = nullptr;
    HRESULT hr = VarBstrFromDec(&d, lcid, flags, &out);
    std::string result = SUCCEEDED(hr) ? escape(out, SysStringLen(out)) : "-";
    SysFreeString(out);
    return {hr_text(hr), result};
  }
  if (op == "i4_from_dec") {
    DECIMAL d = make_dec(arg);
    LONG l = 0;
    HRESULT hr = VarI4FromDec(&d, &l);
    return {hr_text(hr), SUCCEEDED(hr) ? std::to_string(l) : "-"};
  }
  if (op == "r8_from_dec") {
    DECIMAL d = make_dec(arg);
    double r = 0;
    HRESULT hr = VarR8FromDec(&d, &r);
    return {hr_text(hr), SUCCEEDED(hr) ? r8_text(r) : "-"};
  }
  if (op == "cy_from_dec") {
    DECIMAL d = make_dec(arg);
    CY c{};
    HRESULT hr = VarCyFromDec(&d, &c);
    return {hr_text(hr), SUCCEEDED(hr) ? std::to_string(c.int64) : "-"};
  }
  if (op == "r8_from_cy") {
    CY c{};
    c.int64 = std::stoll(arg);
    double r = 0;
    HRESULT hr = VarR8FromCy(c, &r);
    return {hr_text(hr), SUCCEEDED(hr) ? r8_text(r) : "-"};
  }
  if (op == "dec_from_cy") {
    CY c{};
    c.int64 = std::stoll(arg);
    DECIMAL d{};
    HRESULT hr = VarDecFromCy(c, &d);
    return {hr_text(hr), SUCCEEDED(hr) ? dec_text(d) : "-"};
  }
  if (op == "systime_to_vt") {
    SYSTEMTIME st = make_st(arg);
    double d = 0;
    INT ok = SystemTimeToVariantTime(&st, &d);
    return {ok ? "1" : "0", ok ? r8_text(d) : "-"};
  }
  if (op == "vt_to_systime") {
    SYSTEMTIME st{};
    INT ok = VariantTimeToSystemTime(make_r8(arg), &st);
    return {ok ? "1" : "0", ok ? st_text(st) : "-"};
  }
  ADD_FAILURE() << "unknown operation " << op;
  return {"", ""};
}

std::string vectors_dir() { return std::string(DMW_SOURCE_DIR) + "/tests/platform/vectors/"; }

std::vector<std::vector<std::string>> read_table(const std::string& path, size_t fields) {
  std::ifstream in(path);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> row = split_tabs(line);
    EXPECT_GE(row.size(), fields) << path << ": " << line;
    if (row.size() >= fields) rows.push_back(row);
  }
  return rows;
}

std::string case_key(const std::vector<std::string>& row) {
  return row[0] + "\t" + row[1] + "\t" + row[2] + "\t" + row[3] + "\t" + row[4];
}

TEST(OleAutomationVectors, EveryRecordedAnswerIsReproduced) {
  auto vectors = read_table(vectors_dir() + "oleauto.tsv", 7);
  auto overrides = read_table(vectors_dir() + "oleauto_windows.tsv", 8);
  ASSERT_GE(vectors.size(), 2000u) << "the recorded corpus is missing or cut short";

  std::map<std::string, std::vector<std::string>> windows;
  for (const auto& row : overrides) {
    EXPECT_FALSE(row[7].empty()) << "an override without its reason: " << case_key(row);
    EXPECT_TRUE(windows.emplace(case_key(row), row).second) << "a case overridden twice: " << case_key(row);
  }

  size_t passed = 0, skipped = 0, failed = 0, overridden = 0;
  for (const auto& row : vectors) {
    std::string expected_hr = row[5], expected = comparable(row[6]);
    auto found = windows.find(case_key(row));
    if (found != windows.end()) {
      std::vector<std::string> rule = found->second;
      windows.erase(found);
      if (rule[5] == "skip") { ++skipped; continue; }
      expected_hr = rule[5];
      expected = comparable(rule[6]);
      ++overridden;
    }
    LCID lcid = static_cast<LCID>(std::stoul(row[2], nullptr, 16));
    ULONG flags = static_cast<ULONG>(std::stoul(row[3], nullptr, 16));
    auto [hr, result] = run(row[0], row[1], lcid, flags, row[4]);
    if (hr == expected_hr && result == expected) {
      ++passed;
    } else {
      ++failed;
      ADD_FAILURE() << row[0] << " " << row[1] << " lcid=" << row[2] << " flags=" << row[3] << " [" << row[4]
                    << "]: expected " << expected_hr << " " << expected << ", got " << hr << " " << result;
    }
  }
  for (const auto& [key, row] : windows) ADD_FAILURE() << "override matches no recorded case: " << key;
  std::printf("oleauto vectors: %zu passed, %zu failed, %zu skipped, %zu answered by Windows' rule\n", passed,
              failed, skipped, overridden);
  EXPECT_EQ(failed, 0u);
}

}  // namespace
