#include "sample_files.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <memory>
#include <fstream>
#include <unistd.h>

namespace {

std::vector<std::string> samples_in(const char* folder) {
  std::vector<std::string> files;
  std::filesystem::path dir = std::filesystem::path(DMW_SHARED_DIR) / "testdata/access" / folder;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(dir, error))
    if (entry.path().extension() == ".mdb") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

std::vector<std::string> jet4_sample_files() { return samples_in("jet4"); }
std::vector<std::string> jet3_sample_files() { return samples_in("jet3"); }

std::vector<std::string> access_sample_files() {
  std::vector<std::string> files = jet3_sample_files();
  for (std::string& file : jet4_sample_files()) files.push_back(std::move(file));
  return files;
}

std::string jet4_sample(const std::string& name) {
  return (std::filesystem::path(DMW_SHARED_DIR) / "testdata/access/jet4" / name).string();
}

std::string jet3_sample(const std::string& name) {
  return (std::filesystem::path(DMW_SHARED_DIR) / "testdata/access/jet3" / name).string();
}

scratch_file::scratch_file(const std::string& name) {
  static std::atomic<int> counter{0};
  dir_ = std::filesystem::temp_directory_path() /
         ("jet_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
  std::filesystem::create_directories(dir_);
  path_ = (dir_ / name).string();
}

scratch_file::~scratch_file() {
  std::error_code error;
  std::filesystem::remove_all(dir_, error);
}

std::vector<uint8_t> read_whole_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_whole_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::string run(const std::string& command, int* status) {
  std::string output;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen((command + " 2>&1").c_str(), "r"), ::pclose);
  std::array<char, 4096> buffer;
  size_t got;
  while (pipe && (got = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0) output.append(buffer.data(), got);
  *status = pipe ? ::pclose(pipe.release()) : -1;
  return output;
}
