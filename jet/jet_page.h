#pragma once
// The database file as an array of fixed-size pages. Owns the file handle;
// every page number is checked against the file's length before it is read.
#include <cstdint>
#include <string>
#include <vector>

class jet_pager {
 public:
  // Opens an existing file. Raises jet_error 3024 when it does not exist,
  // 3051/3045 when it cannot be opened as asked.
  jet_pager(const std::string& path, bool writable);
  ~jet_pager();
  jet_pager(const jet_pager&) = delete;
  jet_pager& operator=(const jet_pager&) = delete;

  const std::string& path() const { return path_; }
  bool writable() const { return writable_; }
  uint64_t file_size() const { return file_size_; }

  // Reads up to `length` bytes from the start of the file (the header page,
  // before the page size is known).
  std::vector<uint8_t> read_prefix(size_t length) const;

  void set_page_size(uint32_t page_size) { page_size_ = page_size; }
  uint32_t page_size() const { return page_size_; }
  uint32_t page_count() const { return uint32_t(file_size_ / page_size_); }

  // A page past the end of the file is a corrupt reference (3049).
  std::vector<uint8_t> read_page(uint32_t page) const;
  // Writes a whole page; writing page_count() extends the file by one page.
  void write_page(uint32_t page, const std::vector<uint8_t>& bytes);

 private:
  std::string path_;
  bool writable_;
  int fd_ = -1;
  uint64_t file_size_ = 0;
  uint32_t page_size_ = 4096;
};

// Creates a new empty file; 3204 when it already exists.
void jet_create_empty_file(const std::string& path);
