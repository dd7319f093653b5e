#pragma once
// Helpers shared by the engine's tests: the Access-made sample files and
// scratch files that remove themselves.
#include <filesystem>
#include <string>
#include <vector>

// The sample files made by Access of one version (Jet 4: Access 2000; Jet 3:
// Access 97), sorted; empty when the shared test data is absent.
std::vector<std::string> jet4_sample_files();
std::string jet4_sample(const std::string& name);
std::vector<std::string> jet3_sample_files();
std::string jet3_sample(const std::string& name);
// Both versions' samples, Jet 3 first.
std::vector<std::string> access_sample_files();

// A file in a fresh temporary directory, removed with the object.
class scratch_file {
 public:
  explicit scratch_file(const std::string& name);
  ~scratch_file();
  scratch_file(const scratch_file&) = delete;
  scratch_file& operator=(const scratch_file&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::filesystem::path dir_;
  std::string path_;
};

std::vector<uint8_t> read_whole_file(const std::string& path);
// A shell command's standard output and error together; `status` receives
// what pclose answers (-1 when the command could not be started).
std::string run(const std::string& command, int* status);
void write_whole_file(const std::string& path, const std::vector<uint8_t>& bytes);
