#pragma once
// Splits a command line into options by prefix. The option table is walked
// from its start and the first prefix that begins the argument wins, so the
// order of the table is part of the behaviour. Arguments that match no prefix
// are kept (at most 20) so that the caller can refuse the command line.
#include <string>
#include <vector>

struct tk_cmdli_option {
  int id;
  const char* prefix;  // the table ends with {0, ""}
};

class tk_cmdli {
 public:
  static constexpr int unmatched_id = -1;
  static constexpr size_t max_unmatched = 20;

  // The table and the argument vector must outlive the tokenizer; argv[0] is
  // the program name and is skipped.
  tk_cmdli(const tk_cmdli_option* table, int argc, const char* const* argv);

  bool more() const { return remaining_ > 0; }
  void next();

  // Both require more().
  int id() const;
  const std::string& value() const;  // the text after the matched prefix
  // Overwrites the current value, once the caller has taken a secret from it.
  void wipe_value();

  const std::vector<std::string>& unmatched() const { return unmatched_; }

 private:
  void classify(const char* argument);

  const tk_cmdli_option* table_;
  const char* const* cursor_;
  int remaining_;
  int id_ = unmatched_id;
  std::string value_;
  std::vector<std::string> unmatched_;
};
