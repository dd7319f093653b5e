#include "jet/jet_page.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "jet/jet_err.h"

namespace {

std::string system_text(int error) { return std::strerror(error); }

}  // namespace

jet_pager::jet_pager(const std::string& path, bool writable) : path_(path), writable_(writable) {
  fd_ = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd_ < 0) {
    int error = errno;
    if (error == ENOENT || error == ENOTDIR) throw jet_not_found(path);
    if (error == EACCES || error == EROFS)
      throw jet_error(jet_dao_error::read_only,
                      "The database '" + path + "' is read-only or you do not have permission to "
                      "open it for writing. (" + system_text(error) + ")");
    throw jet_error(jet_dao_error::file_in_use,
                    "Could not use '" + path + "'; file already in use. (" + system_text(error) + ")");
  }
  struct stat info {};
  if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw jet_unrecognized(path);
  }
  file_size_ = uint64_t(info.st_size);
}

jet_pager::~jet_pager() {
  if (fd_ >= 0) ::close(fd_);
}

std::vector<uint8_t> jet_pager::read_prefix(size_t length) const {
  if (length > file_size_) length = size_t(file_size_);
  std::vector<uint8_t> bytes(length);
  size_t done = 0;
  while (done < length) {
    ssize_t got = ::pread(fd_, bytes.data() + done, length - done, off_t(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) throw jet_corrupt(path_, "cannot read the header page");
    done += size_t(got);
  }
  return bytes;
}

std::vector<uint8_t> jet_pager::read_page(uint32_t page) const {
  if (page >= page_count()) throw jet_corrupt(path_, "page " + std::to_string(page) + " is past the end");
  std::vector<uint8_t> bytes(page_size_);
  off_t at = off_t(uint64_t(page) * page_size_);
  size_t done = 0;
  while (done < page_size_) {
    ssize_t got = ::pread(fd_, bytes.data() + done, page_size_ - done, at + off_t(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) throw jet_corrupt(path_, "cannot read page " + std::to_string(page));
    done += size_t(got);
  }
  return bytes;
}

void jet_pager::write_page(uint32_t page, const std::vector<uint8_t>& bytes) {
  if (!writable_)
    throw jet_error(jet_dao_error::read_only, "Database '" + path_ + "' is opened read-only.");
  if (bytes.size() != page_size_ || page > page_count())
    throw jet_error(jet_dao_error::invalid_argument, "Invalid page write.");
  off_t at = off_t(uint64_t(page) * page_size_);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t put = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, at + off_t(done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      int error = errno;
      if (error == ENOSPC || error == EDQUOT)
        throw jet_error(jet_dao_error::disk_full, "Disk or network error.");
      throw jet_error(jet_dao_error::disk_full, "Disk or network error. (" + system_text(error) + ")");
    }
    done += size_t(put);
  }
  uint64_t end = uint64_t(page + 1) * page_size_;
  if (end > file_size_) file_size_ = end;
}

void jet_create_empty_file(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    int error = errno;
    if (error == EEXIST) throw jet_error(3204, "Database already exists.");
    if (error == ENOENT || error == ENOTDIR) throw jet_not_found(path);
    throw jet_error(jet_dao_error::disk_full, "Disk or network error. (" + system_text(error) + ")");
  }
  ::close(fd);
}
