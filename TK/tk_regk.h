#pragma once
// An open registry key (or none) under a root, with the key path given at
// construction. The key is closed by close() or the destructor.
#include <cstdint>
#include <string>

#include "platform/registry.h"

class tk_reg_key {
 public:
  explicit tk_reg_key(const std::string& path);
  ~tk_reg_key();
  tk_reg_key(const tk_reg_key&) = delete;
  tk_reg_key& operator=(const tk_reg_key&) = delete;

  // Opens the key path under the root, creating it when missing; a key that
  // was open is closed first. A null root is an internal error naming tk_regk.
  platform::LSTATUS open(platform::HKEY root, platform::REGSAM access = platform::KEY_ALL_ACCESS);
  void close();
  bool is_open() const { return key_ != nullptr; }
  const std::string& path() const { return path_; }

  // Reads leave the value untouched unless they answer ERROR_SUCCESS. The
  // stored type is not checked: a number takes at most the first 4 bytes.
  platform::LSTATUS get_value(const std::string& name, uint32_t& value) const;
  platform::LSTATUS get_value(const std::string& name, std::u16string& value) const;

  // Writing without an open key is an internal error naming tk_regk.
  platform::LSTATUS set_value(const std::string& name, uint32_t value);
  platform::LSTATUS set_value(const std::string& name, const std::u16string& value);

 private:
  std::string path_;
  platform::HKEY key_ = nullptr;
};
