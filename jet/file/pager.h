#pragma once
// The database file as an array of fixed-size pages. Owns the file handle;
// every page number is checked against the file's length before it is read.
// Pages written are held in memory (at most cache_pages of them) and reach
// the file together when the cache is full and by flush(), so a run of
// appends costs a few large writes instead of one write per change. Reads
// are served from the held pages first: this pager always shows its own
// changes; other handles on the file see them once they are written back.
// A pager open for writing also keeps pages it reads while it has room for
// them without writing anything back (the file is its alone then).
//
// A pager open for writing is one writer's session: before a page the file
// had at the start is overwritten, the rollback journal keeps its original
// bytes (jet/file/journal.h). commit() ends the session with the file whole
// on the disk; a pager let go without a commit commits then, and when that
// fails (a full disk) it rolls back, so that the file is as it was before.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jet/file/file_io.h"
#include "jet/file/journal.h"
#include "jet/format/format.h"

class jet_pager {
 public:
  // Pages held before the changed ones are written back.
  static constexpr size_t cache_pages = 64;

  // Opens an existing file. Raises jet_error 3024 when it does not exist,
  // 3051/3045 when it cannot be opened as asked. Reads and writes go through
  // `io` (the real calls unless a test hands in another).
  jet_pager(const std::string& path, bool writable, jet_file_io& io = jet_posix_io());
  // Commits what commit() has not; when that fails, rolls back. The error
  // is lost then, so those who change pages call commit() themselves.
  ~jet_pager();
  jet_pager(const jet_pager&) = delete;
  jet_pager& operator=(const jet_pager&) = delete;

  const std::string& path() const { return path_; }
  bool writable() const { return writable_; }
  // The file's length with the pages not yet written back.
  uint64_t file_size() const { return file_size_; }

  // Reads up to `length` bytes from the start of the file (the header page,
  // before the page size is known).
  std::vector<uint8_t> read_prefix(size_t length) const;

  // The file's format, known once its header is read (Jet 4 until then).
  void set_format(const jet_format& format) {
    format_ = &format;
    page_size_ = format.page_size;
  }
  const jet_format& format() const { return *format_; }
  uint32_t page_size() const { return page_size_; }
  uint32_t page_count() const { return uint32_t(file_size_ / page_size_); }

  // The largest file this pager grows its file to: what Access opens of the
  // file's format (jet_format::max_file_size), unless a test lowered it.
  uint64_t size_limit() const;
  // For tests: a lower limit (0: the format's again), to reach the refusal
  // without writing gigabytes. Never raises the format's limit.
  void set_size_limit_for_tests(uint64_t bytes) { test_size_limit_ = bytes; }
  // For tests: reads and writes from now on go through `io`, which must
  // outlive its use. Nothing held is lost by the switch.
  void set_io_for_tests(jet_file_io& io) { io_ = &io; }

  // A page past the end of the file is a corrupt reference (3049); a read
  // the system refuses is 3043 (jet_io_failure).
  std::vector<uint8_t> read_page(uint32_t page) const;
  // The same into `out`, whose allocation is used again.
  void read_page(uint32_t page, std::vector<uint8_t>& out) const;
  // Writes a whole page; writing page_count() extends the file by one page,
  // which is refused (3001, jet_size_limit_reached) before anything changes
  // when the file would pass size_limit(). Raises 3026/3043 (jet_io_failure)
  // when pages written back to make room are refused.
  void write_page(uint32_t page, const std::vector<uint8_t>& bytes);
  // The held bytes of an existing page, to be changed in place (their size
  // stays the page size); the page counts as changed. Valid until the next
  // call on this pager. Saves a writer that adds to one page again and again
  // a copy of the page each time.
  std::vector<uint8_t>& page_for_update(uint32_t page);
  // Writes every changed page back to the file; 3026/3043 when the disk
  // refuses (the pages not written stay held, and a later flush tries them
  // again).
  void flush();
  // flush(), then asks the system to put the file on the disk: a disk that
  // accepts writes into its cache may refuse them only here (3026/3043).
  void sync();
  // Changed pages not yet written back.
  size_t dirty_pages() const;
  // sync(), then ends the session: the journal goes, and the file as it is
  // now is what a crash from here on returns to.
  void commit();
  // Forgets the changes not written back and plays the journal back: the
  // file returns to what it was when the session began (or was last
  // committed). 3026/3043 when the disk refuses even that; the journal then
  // stays for the next opener.
  void roll_back();
  // The journal's size so far; 0 when this session has written nothing back.
  uint64_t journal_bytes() const { return journal_ ? journal_->bytes() : 0; }

 private:
  static constexpr uint32_t no_page = UINT32_MAX;
  struct frame {
    uint32_t page = no_page;
    bool dirty = false;
    uint64_t last_use = 0;
    std::vector<uint8_t> bytes;
  };
  // The held frame of `page`, or null.
  frame* find(uint32_t page) const;
  // A frame that may take another page without a write-back: a new one
  // while there is room, else the least recently used unchanged one; null
  // when every held page is changed.
  frame* spare_frame() const;
  // A frame for a page not held: a spare one, else the least recently used
  // after writing every change back.
  frame& take_frame();
  // Reads a page from the file itself.
  void read_from_file(uint32_t page, std::vector<uint8_t>& into) const;
  // Writes the pages of `run`, whose numbers follow one another, with one call.
  void write_run(const std::vector<frame*>& run) const;
  // Puts the original bytes of the pages about to be written into the
  // journal, and the journal on the disk, before any of them is overwritten.
  void journal_originals(const std::vector<frame*>& dirty);

  std::string path_;
  bool writable_;
  int fd_ = -1;
  jet_file_io* io_;
  uint64_t test_size_limit_ = 0;
  uint64_t file_size_ = 0;
  uint64_t session_start_size_ = 0;  // the file's length when the session began
  std::unique_ptr<jet_journal> journal_;
  const jet_format* format_ = &jet_format_jet4();
  uint32_t page_size_ = 4096;
  mutable std::vector<frame> frames_;
  // The frames find() returned last, newest first: pages are used in runs,
  // and a writer appending rows takes turns between a data page and an LVAL page.
  mutable size_t last_found_[2] = {0, 0};
  mutable uint64_t clock_ = 0;
};

// Creates a new empty file; 3204 when it already exists.
void jet_create_empty_file(const std::string& path);
