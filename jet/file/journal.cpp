#include "jet/file/journal.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include "jet/format/error.h"

namespace {

// A lock byte on the database past its locks for openers (jet/file/lock.cpp).
constexpr off_t playback_gate_at = (off_t(1) << 32) + 2;

constexpr char magic[8] = {'J', 'E', 'T', 'J', 'O', 'U', 'R', 'N'};

void put32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = uint8_t(value >> (8 * i));
}
void put64(uint8_t* at, uint64_t value) {
  for (int i = 0; i < 8; ++i) at[i] = uint8_t(value >> (8 * i));
}
uint32_t get32(const uint8_t* at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | at[i];
  return value;
}
uint64_t get64(const uint8_t* at) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | at[i];
  return value;
}

// FNV-1a: enough to tell a whole record from a torn one.
uint32_t checksum(uint32_t seed, const uint8_t* bytes, size_t length) {
  uint32_t hash = 2166136261u ^ seed;
  for (size_t i = 0; i < length; ++i) hash = (hash ^ bytes[i]) * 16777619u;
  return hash;
}

uint32_t new_salt() {
  uint32_t salt = 0;
  if (::getrandom(&salt, sizeof salt, 0) != sizeof salt) salt = uint32_t(::getpid()) * 2654435761u ^ uint32_t(time(nullptr));
  return salt;
}

class owned_fd {
 public:
  explicit owned_fd(int fd) : fd_(fd) {}
  ~owned_fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  owned_fd(const owned_fd&) = delete;
  owned_fd& operator=(const owned_fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

void write_all(jet_file_io& io, int fd, const uint8_t* bytes, size_t length, uint64_t at) {
  size_t done = 0;
  while (done < length) {
    iovec part{const_cast<uint8_t*>(bytes + done), length - done};
    const ssize_t put = io.pwritev(fd, &part, 1, off_t(at + done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) throw jet_io_failure(put < 0 ? errno : ENOSPC);
    done += size_t(put);
  }
}

// The bytes at `at`, fewer at the end of the file.
size_t read_some(jet_file_io& io, int fd, uint8_t* into, size_t length, uint64_t at) {
  size_t done = 0;
  while (done < length) {
    const ssize_t got = io.pread(fd, into + done, length - done, off_t(at + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw jet_io_failure(errno);
    if (got == 0) break;
    done += size_t(got);
  }
  return done;
}

void sync(jet_file_io& io, int fd) {
  while (io.fsync(fd) != 0)
    if (errno != EINTR) throw jet_io_failure(errno);
}

}  // namespace

std::string jet_journal::name_for(const std::string& database_path) { return database_path + "-journal"; }

void jet_sync_folder_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

jet_journal::jet_journal(const std::string& database_path, uint32_t page_size, uint64_t original_size,
                         jet_file_io& io)
    : path_(name_for(database_path)),
      io_(&io),
      page_size_(page_size),
      original_size_(original_size),
      salt_(new_salt()),
      kept_(size_t((original_size + page_size - 1) / page_size), false) {
  // Never through a link: the journal would be written wherever it points.
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd_ < 0) {
    const int error = errno;
    if (error == EACCES || error == EROFS || error == EPERM)
      throw jet_error(jet_dao_error::read_only, "Cannot write the journal '" + path_ + "'.");
    throw jet_io_failure(error);
  }
  try {
    uint8_t head[head_size] = {};
    std::memcpy(head, magic, sizeof magic);
    put32(head + 8, page_size_);
    put64(head + 12, original_size_);
    put32(head + 20, salt_);
    put32(head + 28, checksum(0, head, 28));
    write_all(*io_, fd_, head, head_size, 0);
    sync(*io_, fd_);
    jet_sync_folder_of(path_);
    end_ = head_size;
  } catch (...) {
    ::close(fd_);
    ::unlink(path_.c_str());
    throw;
  }
}

jet_journal::~jet_journal() {
  if (fd_ >= 0) ::close(fd_);
}

bool jet_journal::needs(uint32_t page) const { return page < kept_.size() && !kept_[page]; }

void jet_journal::keep(uint32_t page, const std::vector<uint8_t>& original) {
  std::vector<uint8_t> record(4 + size_t(page_size_) + 4, 0);
  put32(record.data(), page);
  std::memcpy(record.data() + 4, original.data(), std::min<size_t>(original.size(), page_size_));
  put32(record.data() + 4 + page_size_, checksum(salt_, record.data(), 4 + size_t(page_size_)));
  write_all(*io_, fd_, record.data(), record.size(), end_);
  end_ += record.size();
  kept_[page] = true;
  unsynced_ = true;
}

void jet_journal::make_durable() {
  if (!unsynced_) return;
  sync(*io_, fd_);
  unsynced_ = false;
}

void jet_journal::commit() {
  // The removal is the commit: once the name is gone, nobody plays it back.
  if (::unlink(path_.c_str()) != 0 && errno != ENOENT) throw jet_io_failure(errno);
  jet_sync_folder_of(path_);
  ::close(fd_);
  fd_ = -1;
}

bool jet_play_back_journal(const std::string& database_path, jet_file_io& io) {
  const std::string journal_path = jet_journal::name_for(database_path);
  struct stat info {};
  if (::lstat(journal_path.c_str(), &info) != 0 && errno == ENOENT) return false;
  owned_fd database(::open(database_path.c_str(), O_RDWR | O_CLOEXEC));
  if (database.get() < 0) {
    const int error = errno;
    if (error == ENOENT) {
      // The database is gone; its journal has nothing left to restore.
      ::unlink(journal_path.c_str());
      return true;
    }
    if (error == EACCES || error == EROFS || error == EPERM)
      throw jet_error(jet_dao_error::read_only,
                      "The database '" + database_path + "' must be restored by someone who may write it.");
    throw jet_io_failure(error);
  }
  // Readers may come upon the journal together: one plays it back, the
  // others wait and find it gone.
  struct flock gate {};
  gate.l_type = F_WRLCK;
  gate.l_whence = SEEK_SET;
  gate.l_start = playback_gate_at;
  gate.l_len = 1;
  while (::fcntl(database.get(), F_OFD_SETLKW, &gate) != 0)
    if (errno != EINTR) throw jet_io_failure(errno);
  owned_fd journal(::open(journal_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (journal.get() < 0) {
    if (errno == ENOENT) return false;
    throw jet_error(jet_dao_error::read_only, "Cannot read the journal '" + journal_path + "'.");
  }
  uint8_t head[jet_journal::head_size] = {};
  const bool whole_head = read_some(io, journal.get(), head, sizeof head, 0) == sizeof head &&
                          std::memcmp(head, magic, sizeof magic) == 0 && get32(head + 28) == checksum(0, head, 28);
  const uint32_t page_size = get32(head + 8);
  if (whole_head && page_size >= 512 && page_size <= 65536 && (page_size & (page_size - 1)) == 0) {
    const uint64_t original_size = get64(head + 12);
    const uint32_t salt = get32(head + 20);
    std::vector<uint8_t> record(4 + size_t(page_size) + 4);
    for (uint64_t at = jet_journal::head_size;; at += record.size()) {
      if (read_some(io, journal.get(), record.data(), record.size(), at) != record.size()) break;
      if (get32(record.data() + 4 + page_size) != checksum(salt, record.data(), 4 + size_t(page_size))) break;
      const uint64_t page_at = uint64_t(get32(record.data())) * page_size;
      if (page_at >= original_size) break;  // cannot be one of ours
      const size_t length = size_t(std::min<uint64_t>(page_size, original_size - page_at));
      write_all(io, database.get(), record.data() + 4, length, page_at);
    }
    while (::ftruncate(database.get(), off_t(original_size)) != 0)
      if (errno != EINTR) throw jet_io_failure(errno);
    sync(io, database.get());
  }
  // A journal without a whole head was cut short while it was made: the
  // database had not been touched yet.
  if (::unlink(journal_path.c_str()) != 0 && errno != ENOENT) throw jet_io_failure(errno);
  jet_sync_folder_of(journal_path);
  return true;
}
