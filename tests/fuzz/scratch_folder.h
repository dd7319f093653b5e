#pragma once
// A private folder for one fuzzing process, removed when the process ends:
// the readers under test take paths, and parallel fuzzers must not share files.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

class fuzz_scratch_folder {
 public:
  fuzz_scratch_folder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "dmw_fuzz_XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
      std::perror("mkdtemp");
      std::abort();
    }
    path_ = pattern;
  }
  ~fuzz_scratch_folder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  fuzz_scratch_folder(const fuzz_scratch_folder&) = delete;
  fuzz_scratch_folder& operator=(const fuzz_scratch_folder&) = delete;

  std::string file(const char* name) const { return (path_ / name).string(); }

  // Replaces the file's contents with the input; aborts when it cannot, since
  // every later input would then be tested against stale bytes.
  void write(const std::string& path, const uint8_t* data, size_t size) const {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out || (size && std::fwrite(data, 1, size, out) != size) || std::fclose(out) != 0) {
      std::perror(path.c_str());
      std::abort();
    }
  }

 private:
  std::filesystem::path path_;
};
