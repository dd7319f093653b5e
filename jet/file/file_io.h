#pragma once
// The system calls the pager makes on its file, behind one interface: the
// real POSIX calls by default, and in tests a stand-in that fails the way a
// full or failing disk does, so that every refusal is proven to end in DAO's
// error instead of a crash, a hang or a damaged file.
#include <cstddef>
#include <sys/types.h>
#include <sys/uio.h>

class jet_file_io {
 public:
  virtual ~jet_file_io() = default;
  // As the POSIX calls: the bytes done, or -1 with errno set.
  virtual ssize_t pread(int fd, void* buffer, size_t length, off_t offset) = 0;
  virtual ssize_t pwritev(int fd, const iovec* parts, int count, off_t offset) = 0;
  // 0, or -1 with errno set.
  virtual int fsync(int fd) = 0;
};

// The real calls; shared by every pager that is given no other.
jet_file_io& jet_posix_io();
