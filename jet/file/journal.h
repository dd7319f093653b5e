#pragma once
// The rollback journal. Before a writer overwrites a page the file had when
// the writer began, the page's original bytes go to NAME-journal beside the
// database and reach the disk. A writer that finishes in order removes the
// journal (its commit); one that dies leaves it, and the next opener plays
// it back: every original page returns and the file is cut to its original
// length, so the file is exactly as it was before that writer began.
//
// Layout, little-endian:
//   head   "JETJOURN", page size (u32), original length (u64), salt (u32),
//          zero (u32), checksum of the 28 bytes before it (u32): 32 bytes
//   record page number (u32), the page's original bytes, checksum (u32) of
//          the salt, the number and the bytes
// The head is on the disk before the database changes at all, and each
// record before its page is overwritten, so a record cut short or failing its
// checksum ends the journal: its page was never overwritten. The salt keeps
// a record of some older journal from passing for one of this.
#include <cstdint>
#include <string>
#include <vector>

#include "jet/file/file_io.h"

class jet_journal {
 public:
  static constexpr size_t head_size = 32;

  // NAME-journal for database NAME.
  static std::string name_for(const std::string& database_path);

  // Creates the journal of a writer that begins on a file of `original_size`
  // bytes, with its head on the disk (the folder too, so that the journal's
  // name survives a power loss). 3026/3043 when the disk refuses.
  jet_journal(const std::string& database_path, uint32_t page_size, uint64_t original_size, jet_file_io& io);
  // Closes the journal and leaves it: only commit() removes it.
  ~jet_journal();
  jet_journal(const jet_journal&) = delete;
  jet_journal& operator=(const jet_journal&) = delete;

  // Whether `page` was part of the original file and is not kept yet.
  bool needs(uint32_t page) const;
  // Appends the original bytes of `page` (held in memory by the system
  // until make_durable()).
  void keep(uint32_t page, const std::vector<uint8_t>& original);
  // Puts what keep() appended on the disk; the pages kept may be overwritten after.
  void make_durable();
  // The writer has finished and its file is on the disk: the journal goes.
  void commit();

  uint64_t original_size() const { return original_size_; }
  uint64_t bytes() const { return end_; }

 private:
  std::string path_;
  jet_file_io* io_;
  int fd_ = -1;
  uint32_t page_size_;
  uint64_t original_size_;
  uint32_t salt_;
  uint64_t end_ = 0;
  bool unsynced_ = false;
  std::vector<bool> kept_;  // by page number, for the original pages
};

// Plays back a journal a writer left beside `database_path`, then removes it.
// The caller makes sure that no writer is at work on the file. Returns true
// when there was a journal. 3051 when the database may not be written (the
// journal then stays for someone who may), 3026/3043 when the disk refuses.
bool jet_play_back_journal(const std::string& database_path, jet_file_io& io = jet_posix_io());

// fsync() of the folder holding `path`, so that a file created, removed or
// renamed there stays so after a power loss. Errors are ignored: some file
// systems refuse to sync a folder and lose nothing by it.
void jet_sync_folder_of(const std::string& path);
