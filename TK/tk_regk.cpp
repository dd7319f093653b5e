#include "TK/tk_regk.h"

#include <vector>

#include "TK/tk_excep.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"

using namespace platform;

tk_reg_key::tk_reg_key(const std::string& path) : path_(path) {}

tk_reg_key::~tk_reg_key() { close(); }

LSTATUS tk_reg_key::open(HKEY root, REGSAM access) {
  trace(2, "tk_reg_key::open(%s)", path_.c_str());
  TK_CHECK(root != nullptr, "tk_regk");
  close();
  return RegCreateKeyExW(root, tk_from_ansi(path_), access, &key_);
}

void tk_reg_key::close() {
  if (key_) RegCloseKey(key_);
  key_ = nullptr;
}

LSTATUS tk_reg_key::get_value(const std::string& name, uint32_t& value) const {
  trace(2, "tk_reg_key::get_value(ulong, %s)", name.c_str());
  if (!key_) return ERROR_INVALID_HANDLE;
  DWORD type = REG_NONE;
  uint8_t bytes[4] = {0, 0, 0, 0};
  DWORD size = sizeof bytes;
  LSTATUS status = RegQueryValueExW(key_, tk_from_ansi(name), &type, bytes, &size);
  trace(1, "type=%d, size=%d", static_cast<int>(type), static_cast<int>(size));
  if (status == ERROR_SUCCESS)
    value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (uint32_t(bytes[3]) << 24);
  return status;
}

LSTATUS tk_reg_key::get_value(const std::string& name, std::u16string& value) const {
  trace(2, "tk_reg_key::get_value(LPWSTR, %s)", name.c_str());
  if (!key_) return ERROR_INVALID_HANDLE;
  std::u16string wide_name = tk_from_ansi(name);
  DWORD type = REG_NONE;
  DWORD size = 0;
  LSTATUS status = RegQueryValueExW(key_, wide_name, &type, nullptr, &size);
  trace(1, "type=%d, size=%d", static_cast<int>(type), static_cast<int>(size));
  if (status != ERROR_SUCCESS) return status;
  std::vector<uint8_t> bytes(size + 1, 0);  // room for an odd size's last byte
  status = RegQueryValueExW(key_, wide_name, &type, bytes.data(), &size);
  if (status != ERROR_SUCCESS) return status;
  std::u16string text;
  for (size_t i = 0; i < size; i += 2) {
    char16_t c = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    if (c == 0) break;  // the terminator, or the end of a text stored with embedded NULs
    text += c;
  }
  value = text;
  return status;
}

LSTATUS tk_reg_key::set_value(const std::string& name, uint32_t value) {
  trace(2, "tk_reg_key::set_value(ulong, %s)", name.c_str());
  TK_CHECK(key_ != nullptr, "tk_regk");
  uint8_t bytes[4];
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  return RegSetValueExW(key_, tk_from_ansi(name), REG_DWORD, bytes, sizeof bytes);
}

LSTATUS tk_reg_key::set_value(const std::string& name, const std::u16string& value) {
  trace(2, "tk_reg_key::set_value(LPWSTR, %s)", name.c_str());
  TK_CHECK(key_ != nullptr, "tk_regk");
  std::vector<uint8_t> bytes;
  bytes.reserve(value.size() * 2 + 2);
  for (char16_t c : value) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  bytes.push_back(0);  // REG_SZ is stored with its terminator
  bytes.push_back(0);
  return RegSetValueExW(key_, tk_from_ansi(name), REG_SZ, bytes.data(),
                        static_cast<DWORD>(bytes.size()));
}
