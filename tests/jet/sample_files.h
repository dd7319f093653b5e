#pragma once
// Helpers shared by the engine's tests: the Access-made sample files and
// scratch files that remove themselves.
#include <filesystem>
#include <string>
#include <vector>

// Every Jet 4 sample file made by Access, sorted; empty when the shared
// test data is absent.
std::vector<std::string> jet4_sample_files();
std::string jet4_sample(const std::string& name);

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
void write_whole_file(const std::string& path, const std::vector<uint8_t>& bytes);
