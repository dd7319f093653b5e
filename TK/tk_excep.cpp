#include "TK/tk_excep.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "TK/tk_trace.h"

namespace {
const char kUnknown[] = "Unknown exception";

std::string format_one(const char* format, const std::string& argument) {
  if (!format) return argument;
  int n = std::snprintf(nullptr, 0, format, argument.c_str());
  if (n < 0) return format;
  std::vector<char> buf(static_cast<size_t>(n) + 1);
  std::snprintf(buf.data(), buf.size(), format, argument.c_str());
  return std::string(buf.data(), static_cast<size_t>(n));
}

std::string system_message(int error_number) {
  char buf[512];
  // GNU strerror_r may return a static string instead of filling buf.
  const char* text = strerror_r(error_number, buf, sizeof buf);
  if (!text || !*text) return kUnknown;
  return text;
}
}  // namespace

tk_exception::tk_exception(int level) : text_(kUnknown), level_(level) {}

tk_exception::tk_exception(const std::string& text, int level)
    : text_(text.empty() ? kUnknown : text), level_(level) {}

tk_exception::tk_exception(const char* format, const std::string& argument, int level)
    : text_(format_one(format, argument)), level_(level) {}

tk_exception::tk_exception(std::string text, uint32_t code, int level)
    : text_(text.empty() ? kUnknown : std::move(text)), code_(code), level_(level) {}

tk_exception_ex::tk_exception_ex() : tk_exception_ex(errno) {}

tk_exception_ex::tk_exception_ex(int error_number)
    : tk_exception(system_message(error_number), static_cast<uint32_t>(error_number), 1) {
  trace(2, "tk_exception_ex::ctor");
  trace(2, "GetLastError: %s", text_.c_str());
}

tk_mail_assertion::tk_mail_assertion(const char* source_file, int line)
    : tk_exception("Internal error: \ncode=" + location_code(source_file, line), 0, 2) {
  trace(2, "tk_mail_assertion::ctor(%s)", source_file ? source_file : "");
}

std::string tk_mail_assertion::location_code(const char* source_file, int line) {
  std::string location = std::string(source_file ? source_file : "") + "\\" + std::to_string(line);
  std::string code;
  char hex[4];
  for (unsigned char c : location) {
    std::snprintf(hex, sizeof hex, "%x", c);
    code += hex;
  }
  return code;
}

tk_final_exception::tk_final_exception() { trace(2, "tk_final_exception::ctor"); }
