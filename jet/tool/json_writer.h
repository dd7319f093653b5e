#pragma once
// A small streaming JSON writer for jetutil's output: it places commas and
// escapes strings; the caller opens and closes objects and arrays in order.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

class jet_json {
 public:
  explicit jet_json(std::ostream& out) : out_(out) {}

  void begin_object();
  void end_object();
  void begin_array();
  void end_array();
  void key(const std::string& name);  // the next value belongs to this key

  void null();
  void boolean(bool value);
  void integer(int64_t value);
  void real(double value);            // shortest round-trip form; non-finite as a string
  void string(const std::string& utf8);
  void string(const std::u16string& text);

 private:
  void before_value();

  std::ostream& out_;
  std::vector<bool> has_items_;  // per open container: a value was written
  bool after_key_ = false;
};

std::string jet_json_escape(const std::string& utf8);
