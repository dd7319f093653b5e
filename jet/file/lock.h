#pragma once
// Who has a database open, and how. Every opener holds an open-file-description
// lock on the database file (shared openers a read lock, an exclusive opener a
// write lock), so shared and exclusive opens exclude each other between
// processes and between two opens in one process. Among shared openers, one
// may write at a time, and only while nobody reads: an opener for update is
// refused while another one or a reader has the file, and a reader while a
// writer has it (3045), so that no reader ever sees a page half-written. Shared openers also sign in
// to the lock file NAME.ldb beside the database, one 64-byte entry each
// (computer name, then user name, 32 bytes each, NUL-padded); the last one out
// removes it. Exclusive openers neither need nor touch the lock file, as Jet.
//
// The locks go with the process: a holder that dies leaves at most a stale
// lock file, which the next opener reuses and the next last one out removes.
#include <array>
#include <cstdint>
#include <string>

#include "jet/format/error.h"

// The lock file's name: the database's extension replaced by ".ldb" (added
// when it has none; appended when it already is ".ldb", so that the lock file
// is never the database itself).
std::string jet_lock_file_name(const std::string& database_path);

// One lock-file entry: the names cut to 31 bytes, so each stays NUL-terminated.
constexpr size_t jet_lock_entry_size = 64;
constexpr size_t jet_lock_name_size = 32;
std::array<uint8_t, jet_lock_entry_size> jet_lock_entry(const std::string& computer, const std::string& user);

// DAO's answers when a database cannot be had as asked.
jet_error jet_in_use(const std::string& file);
jet_error jet_cannot_open(const std::string& file);

// A file descriptor closed with the object.
class jet_fd {
 public:
  jet_fd() = default;
  explicit jet_fd(int fd) : fd_(fd) {}
  ~jet_fd() { reset(); }
  jet_fd(jet_fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  jet_fd& operator=(jet_fd&& other) noexcept;
  jet_fd(const jet_fd&) = delete;
  jet_fd& operator=(const jet_fd&) = delete;
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  void reset();

 private:
  int fd_ = -1;
};

class jet_lock {
 public:
  // Signs this opener in. Raises 3045 when someone holds the file exclusively,
  // when an exclusive hold is asked for while anyone has it open, or when
  // a writer would meet another opener or a reader a writer; 3051 when
  // a shared opening for update cannot use the lock file (a folder nobody may
  // write, as a write-protected medium). A read-only shared opening goes on
  // without an entry then. The database file must exist.
  jet_lock(const std::string& database_path, bool read_only, bool exclusive);
  // Signs out; the last shared opener removes the lock file when it may.
  ~jet_lock() { sign_out(); }
  jet_lock(const jet_lock&) = delete;
  jet_lock& operator=(const jet_lock&) = delete;

  // False when an exclusive read-only hold had to settle for a shared one
  // because the file cannot be opened for writing.
  bool exclusive() const { return exclusive_; }
  // The lock file holding this opener's entry; empty when it has none.
  const std::string& lock_file() const { return lock_file_; }

 private:
  // Opens the database file and takes its locks; plays back a journal a
  // dead writer left.
  void hold(const std::string& database_path, bool read_only);
  void sign_in(const std::string& database_path, bool read_only);
  void sign_out() noexcept;

  jet_fd database_fd_;  // carries the shared or exclusive hold
  jet_fd lock_fd_;      // the lock file, while this opener has an entry
  int slot_ = -1;       // this opener's entry in it
  bool exclusive_ = false;
  std::string lock_file_;
};
