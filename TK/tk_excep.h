#pragma once
// The exception family every failure of the system travels as. Each carries a
// narrow text, a 32-bit code and a level: 0 the current item fails and the run
// may go on, 1 the run must end, 2 an internal error after which the process ends.
#include <cstdint>
#include <exception>
#include <string>

class tk_exception : public std::exception {
 public:
  explicit tk_exception(int level = 0);
  tk_exception(const std::string& text, int level);
  // The format is filled printf-style with the one string argument.
  tk_exception(const char* format, const std::string& argument, int level);

  const char* what() const noexcept override { return text_.c_str(); }
  const std::string& text() const { return text_; }
  uint32_t code() const { return code_; }
  int level() const { return level_; }

 protected:
  tk_exception(std::string text, uint32_t code, int level);

  std::string text_;
  uint32_t code_ = 0;  // 0 own error, errno, 0x100000 + ORA-n, 0x10000 + DAO n
  int level_ = 0;
};

// A failed system call: code and text come from errno and strerror. Level 1.
class tk_exception_ex : public tk_exception {
 public:
  tk_exception_ex();                        // takes the current errno
  explicit tk_exception_ex(int error_number);
};

// A broken internal invariant (level 2). The text hides the source location
// behind a hexadecimal code that support staff decode back to "file\line".
class tk_mail_assertion : public tk_exception {
 public:
  tk_mail_assertion(const char* source_file, int line);
  static std::string location_code(const char* source_file, int line);
};

// Stops a run quietly; deliberately outside the tk_exception family.
class tk_final_exception : public std::exception {
 public:
  tk_final_exception();
  const char* what() const noexcept override { return "tk_final_exception"; }
};

// Raises an internal error naming the source file that holds the check.
#define TK_CHECK(condition, source_file) \
  do { if (!(condition)) throw tk_mail_assertion(source_file, __LINE__); } while (0)
