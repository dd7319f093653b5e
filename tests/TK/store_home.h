#pragma once
// Points the registry store at a fresh folder for one test ($XDG_CONFIG_HOME)
// and puts the old value back afterwards.
#include <cstdlib>
#include <optional>
#include <string>

#include "tests/TK/temp_dir.h"

class store_home {
 public:
  store_home() {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) old_ = old;
    ::setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
  }
  ~store_home() {
    if (old_)
      ::setenv("XDG_CONFIG_HOME", old_->c_str(), 1);
    else
      ::unsetenv("XDG_CONFIG_HOME");
  }
  store_home(const store_home&) = delete;
  store_home& operator=(const store_home&) = delete;

  std::string path() const { return dir_.path(); }

 private:
  temp_dir dir_;
  std::optional<std::string> old_;
};
