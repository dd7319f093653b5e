#include "jet/file/file_io.h"

#include <unistd.h>

namespace {

class posix_io final : public jet_file_io {
 public:
  ssize_t pread(int fd, void* buffer, size_t length, off_t offset) override {
    return ::pread(fd, buffer, length, offset);
  }
  ssize_t pwritev(int fd, const iovec* parts, int count, off_t offset) override {
    return ::pwritev(fd, parts, count, offset);
  }
  int fsync(int fd) override { return ::fsync(fd); }
};

}  // namespace

jet_file_io& jet_posix_io() {
  static posix_io io;
  return io;
}
