#include "jet/file/lock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "jet/file/journal.h"

namespace {

// The database file's locks, past the largest file Jet can make, so that
// they never stand on a page: the hold (shared openers read-lock it, an
// exclusive one write-locks it) and the writer's byte (the one opener for
// update write-locks it, readers read-lock it, so a reader never sees a
// writer's pages half-written). The journal's playback has a byte of its own
// (jet/file/journal.cpp).
constexpr off_t database_hold_at = off_t(1) << 32;
constexpr off_t writer_at = database_hold_at + 1;

// The lock file's own locks, past its entries: a gate taken shared while an
// opener signs in and exclusively while one signs out (so a sign-in never
// lands in a file that is being removed), then one byte per entry, held by
// the entry's owner for as long as it has the database open.
constexpr off_t gate_at = 0x10000000;
constexpr off_t slots_at = gate_at + 1;
constexpr int slot_count = 255;  // Jet's limit of concurrent users

constexpr const char* user_name = "Admin";  // the user Jet signs in without a workgroup

// 0 when granted; EAGAIN when someone else holds a conflicting lock; another
// errno when locking is not possible.
int set_lock(int fd, short type, off_t start, off_t length, bool wait) {
  struct flock request {};
  request.l_type = type;
  request.l_whence = SEEK_SET;
  request.l_start = start;
  request.l_len = length;
  request.l_pid = 0;  // required of open-file-description locks
  for (;;) {
    if (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &request) == 0) return 0;
    const int error = errno;
    if (error == EINTR) continue;
    return error == EACCES ? EAGAIN : error;
  }
}

std::string system_text(int error) { return std::strerror(error); }

std::string folder_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A folder with no write permission for anyone counts as write-protected,
// for the superuser too, as a read-only medium would be.
bool is_write_protected(const std::string& folder) {
  struct stat info {};
  return ::stat(folder.c_str(), &info) == 0 && (info.st_mode & 0222) == 0;
}

// Whether `path` still names the file open as `fd` (the last one out may have
// removed it, and someone else may have made a new one).
bool still_named(int fd, const std::string& path) {
  struct stat open_file {}, named {};
  if (::fstat(fd, &open_file) != 0 || open_file.st_nlink == 0) return false;
  if (::lstat(path.c_str(), &named) != 0) return false;
  return open_file.st_dev == named.st_dev && open_file.st_ino == named.st_ino;
}

std::string computer_name() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "localhost";
  return name;
}

bool write_all(int fd, const uint8_t* bytes, size_t length, off_t at) {
  size_t done = 0;
  while (done < length) {
    const ssize_t put = ::pwrite(fd, bytes + done, length - done, at + off_t(done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += size_t(put);
  }
  return true;
}

}  // namespace

std::string jet_lock_file_name(const std::string& database_path) {
  const size_t name_at = database_path.rfind('/') == std::string::npos ? 0 : database_path.rfind('/') + 1;
  const size_t dot = database_path.rfind('.');
  if (dot == std::string::npos || dot <= name_at) return database_path + ".ldb";
  std::string extension = database_path.substr(dot);
  for (char& c : extension) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (extension == ".ldb") return database_path + ".ldb";
  return database_path.substr(0, dot) + ".ldb";
}

std::array<uint8_t, jet_lock_entry_size> jet_lock_entry(const std::string& computer, const std::string& user) {
  std::array<uint8_t, jet_lock_entry_size> entry{};
  std::memcpy(entry.data(), computer.data(), std::min(computer.size(), jet_lock_name_size - 1));
  std::memcpy(entry.data() + jet_lock_name_size, user.data(), std::min(user.size(), jet_lock_name_size - 1));
  return entry;
}

jet_error jet_in_use(const std::string& file) {
  return jet_error(jet_dao_error::file_in_use, "Could not use '" + file + "'; file already in use.");
}

jet_error jet_cannot_open(const std::string& file) {
  return jet_error(jet_dao_error::read_only,
                   "The Microsoft Jet database engine cannot open the file '" + file +
                       "'. It is already opened exclusively by another user, or you need permission to view its data.");
}

jet_fd& jet_fd::operator=(jet_fd&& other) noexcept {
  if (this != &other) {
    reset();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

void jet_fd::reset() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

jet_lock::jet_lock(const std::string& database_path, bool read_only, bool exclusive) : exclusive_(exclusive) {
  // A few rounds at most: each retry means the name was given to another
  // file (a database replaced by a new one) between our opening and holding it.
  for (int round = 0;; ++round) {
    hold(database_path, read_only);
    if (still_named(database_fd_.get(), database_path) || round == 100) break;
    database_fd_.reset();
  }
  if (!exclusive_) sign_in(database_path, read_only);
}

void jet_lock::hold(const std::string& database_path, bool read_only) {
  // A write lock needs a descriptor open for writing; a read-only file can
  // still be held exclusively by whoever may write it, and is held shared by
  // anyone else (nobody without that right can change it either).
  const bool writes = exclusive_ || !read_only;
  database_fd_ = jet_fd(::open(database_path.c_str(), (writes ? O_RDWR : O_RDONLY) | O_CLOEXEC));
  if (!database_fd_ && exclusive_ && read_only && (errno == EACCES || errno == EROFS || errno == EPERM)) {
    exclusive_ = false;
    database_fd_ = jet_fd(::open(database_path.c_str(), O_RDONLY | O_CLOEXEC));
  }
  if (!database_fd_) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) throw jet_not_found(database_path);
    if (error == EACCES || error == EROFS || error == EPERM) throw jet_cannot_open(database_path);
    throw jet_error(jet_dao_error::file_in_use,
                    jet_in_use(database_path).what() + std::string(" (") + system_text(error) + ")");
  }
  const int fd = database_fd_.get();
  const auto refuse_if = [&](int held) {
    if (held == EAGAIN) throw jet_in_use(database_path);
    if (held != 0)
      throw jet_error(jet_dao_error::file_in_use,
                      jet_in_use(database_path).what() + std::string(" (") + system_text(held) + ")");
  };
  refuse_if(set_lock(fd, exclusive_ ? F_WRLCK : F_RDLCK, database_hold_at, 1, false));
  if (!exclusive_) refuse_if(set_lock(fd, read_only ? F_RDLCK : F_WRLCK, writer_at, 1, false));
  // No writer is at work now but this opener: a journal beside the file is
  // one that a writer who died left, and goes back into the file before
  // anyone reads it.
  jet_play_back_journal(database_path);
}

void jet_lock::sign_in(const std::string& database_path, bool read_only) {
  const std::string lock_file = jet_lock_file_name(database_path);
  const auto entry = jet_lock_entry(computer_name(), user_name);
  // A few rounds at most: each retry means a last one out removed the file
  // between our opening it and our signing in.
  for (int round = 0; round < 100; ++round) {
    // Never through a symbolic link: the entry would be written wherever it points.
    jet_fd fd(::open(lock_file.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
    if (!fd && errno == ENOENT && !is_write_protected(folder_of(lock_file)))
      fd = jet_fd(::open(lock_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666));
    struct stat info {};
    if (fd && (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))) fd.reset();
    if (!fd || set_lock(fd.get(), F_RDLCK, gate_at, 1, true) != 0) {
      // No lock file: only a reader may go on without one, as Jet.
      if (read_only) return;
      throw jet_cannot_open(database_path);
    }
    if (!still_named(fd.get(), lock_file)) continue;
    int slot = 0;
    while (slot < slot_count && set_lock(fd.get(), F_WRLCK, slots_at + slot, 1, false) != 0) ++slot;
    if (slot == slot_count) throw jet_in_use(database_path);
    if (!write_all(fd.get(), entry.data(), entry.size(), off_t(slot) * off_t(jet_lock_entry_size))) {
      if (read_only) return;
      throw jet_cannot_open(database_path);
    }
    set_lock(fd.get(), F_UNLCK, gate_at, 1, false);
    lock_fd_ = std::move(fd);
    slot_ = slot;
    lock_file_ = lock_file;
    return;
  }
  throw jet_in_use(database_path);
}

void jet_lock::sign_out() noexcept {
  if (lock_fd_) {
    const int fd = lock_fd_.get();
    set_lock(fd, F_UNLCK, slots_at + slot_, 1, false);
    // The gate held exclusively: nobody signs in while we look whether anyone
    // is left, and a late comer that opened the file sees it gone afterwards.
    if (set_lock(fd, F_WRLCK, gate_at, 1, true) == 0 && set_lock(fd, F_WRLCK, slots_at, slot_count, false) == 0 &&
        still_named(fd, lock_file_)) {
      ::unlink(lock_file_.c_str());  // without the right to delete it stays, as with Jet
    }
    lock_fd_.reset();
  }
  database_fd_.reset();
}
