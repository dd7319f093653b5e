#pragma once
// Disks that fail on purpose, for the tests of what the engine does then:
// a stand-in for the pager's system calls that refuses the Nth write, read
// or sync with a chosen errno (or writes short), and a process file-size
// limit that makes the real system refuse writes with EFBIG.
#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

#include "jet/file/file_io.h"

class faulty_io : public jet_file_io {
 public:
  // From the `nth` write on (counted from 1 from now), writes fail with `error`;
  // with error 0 they write nothing and report 0 bytes.
  void fail_writes_from(int nth, int error) {
    writes_ = 0;
    fail_write_at_ = nth;
    write_error_ = error;
  }
  // Every write puts at most `bytes` bytes.
  void write_short(size_t bytes) { short_bytes_ = bytes; }
  void fail_reads_from(int nth, int error) {
    reads_ = 0;
    fail_read_at_ = nth;
    read_error_ = error;
  }
  void fail_syncs(int error) { sync_error_ = error; }
  // The disk works again.
  void lift() {
    fail_write_at_ = fail_read_at_ = 0;
    sync_error_ = 0;
    short_bytes_ = 0;
  }
  int refused() const { return refused_; }

  ssize_t pread(int fd, void* buffer, size_t length, off_t offset) override {
    if (fail_read_at_ && ++reads_ >= fail_read_at_) return refuse(read_error_);
    return ::pread(fd, buffer, length, offset);
  }
  ssize_t pwritev(int fd, const iovec* parts, int count, off_t offset) override {
    if (fail_write_at_ && ++writes_ >= fail_write_at_) return refuse(write_error_);
    if (short_bytes_ && count > 0) {
      iovec first = parts[0];
      if (first.iov_len > short_bytes_) first.iov_len = short_bytes_;
      return ::pwritev(fd, &first, 1, offset);
    }
    return ::pwritev(fd, parts, count, offset);
  }
  int fsync(int fd) override {
    if (sync_error_) return int(refuse(sync_error_));
    return ::fsync(fd);
  }

 private:
  ssize_t refuse(int error) {
    ++refused_;
    if (error == 0) return 0;
    errno = error;
    return -1;
  }
  int writes_ = 0, fail_write_at_ = 0, write_error_ = 0;
  int reads_ = 0, fail_read_at_ = 0, read_error_ = 0;
  int sync_error_ = 0;
  size_t short_bytes_ = 0;
  int refused_ = 0;
};

// Files may not grow past `bytes` while this lives; writes past it fail
// (EFBIG) instead of ending the process.
class file_size_limit {
 public:
  explicit file_size_limit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~file_size_limit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, old_handler_);
  }
  file_size_limit(const file_size_limit&) = delete;
  file_size_limit& operator=(const file_size_limit&) = delete;

 private:
  rlimit saved_{};
  void (*old_handler_)(int) = nullptr;
};

// A process that dies with the disk half-written: once `budget` bytes have
// been written, the write that passes it puts only its first part and the
// process ends on the spot (no destructor, no flush), as under kill -9 or a
// power loss in the middle of a write.
class crash_io : public jet_file_io {
 public:
  static constexpr int died = 86;  // the exit status of a process that crashed so
  explicit crash_io(uint64_t budget) : left_(budget) {}

  ssize_t pread(int fd, void* buffer, size_t length, off_t offset) override {
    return ::pread(fd, buffer, length, offset);
  }
  ssize_t pwritev(int fd, const iovec* parts, int count, off_t offset) override {
    uint64_t length = 0;
    for (int i = 0; i < count; ++i) length += parts[i].iov_len;
    if (length <= left_) {
      left_ -= length;
      return ::pwritev(fd, parts, count, offset);
    }
    for (int i = 0; i < count && left_ > 0; ++i) {
      iovec part = parts[i];
      if (part.iov_len > left_) part.iov_len = size_t(left_);
      if (::pwritev(fd, &part, 1, offset) != ssize_t(part.iov_len)) break;
      offset += off_t(part.iov_len);
      left_ -= part.iov_len;
    }
    ::_exit(died);
  }
  int fsync(int fd) override { return ::fsync(fd); }

 private:
  uint64_t left_;
};
