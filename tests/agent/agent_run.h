#pragma once
// Runs the built dmwagent as a user would: in a folder of its own, with the
// C locale and no Oracle client (DMW_OCI_LIBRARY names none), its standard
// output and standard error captured apart. extra_env entries ("NAME=value")
// are added last and win.
#include <filesystem>
#include <string>
#include <vector>

struct agent_run {
  std::string out;
  std::string err;
  int exit_code = -1;  // -1 when the program did not exit normally
};

agent_run run_agent(const std::vector<std::string>& args, const std::filesystem::path& folder,
                    const std::vector<std::string>& extra_env = {});

// A fresh empty folder for one test, removed with the object.
class scratch_folder {
 public:
  scratch_folder();
  ~scratch_folder();
  scratch_folder(const scratch_folder&) = delete;
  scratch_folder& operator=(const scratch_folder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  // Writes the bytes as they are.
  void write(const std::string& name, const std::string& bytes) const;

 private:
  std::filesystem::path path_;
};

std::string read_file(const std::filesystem::path& path);
