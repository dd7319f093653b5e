#include "jet/file/pager.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include "jet/file/lock.h"
#include "jet/format/error.h"

namespace {

std::string system_text(int error) { return std::strerror(error); }

}  // namespace

jet_pager::jet_pager(const std::string& path, bool writable, jet_file_io& io)
    : path_(path), writable_(writable), io_(&io) {
  fd_ = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  if (fd_ < 0) {
    int error = errno;
    if (error == ENOENT || error == ENOTDIR) throw jet_not_found(path);
    if (error == EACCES || error == EROFS) throw jet_cannot_open(path);
    throw jet_error(jet_dao_error::file_in_use, jet_in_use(path).what() + std::string(" (") + system_text(error) + ")");
  }
  struct stat info {};
  if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw jet_unrecognized(path);
  }
  file_size_ = uint64_t(info.st_size);
  session_start_size_ = file_size_;
  // Frames are handed out by address: they never move.
  if (writable_) frames_.reserve(cache_pages);
}

jet_pager::~jet_pager() {
  if (fd_ < 0) return;
  if (writable_) {
    try {
      commit();
    } catch (...) {
      // Nobody is left to tell; writers commit before this point to see the
      // error. What cannot be finished is undone.
      try {
        roll_back();
      } catch (...) {
        // The journal stays; the next opener plays it back.
      }
    }
  }
  ::close(fd_);
}

std::vector<uint8_t> jet_pager::read_prefix(size_t length) const {
  if (length > file_size_) length = size_t(file_size_);
  std::vector<uint8_t> bytes(length);
  if (const frame* held = find(0); held && length <= held->bytes.size()) {
    std::copy(held->bytes.begin(), held->bytes.begin() + long(length), bytes.begin());
    return bytes;
  }
  size_t done = 0;
  while (done < length) {
    ssize_t got = io_->pread(fd_, bytes.data() + done, length - done, off_t(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw jet_io_failure(errno);
    if (got == 0) throw jet_corrupt(path_, "cannot read the header page");
    done += size_t(got);
  }
  return bytes;
}

jet_pager::frame* jet_pager::find(uint32_t page) const {
  const size_t count = frames_.size();
  if (last_found_[0] < count && frames_[last_found_[0]].page == page) return &frames_[last_found_[0]];
  if (last_found_[1] < count && frames_[last_found_[1]].page == page) {
    std::swap(last_found_[0], last_found_[1]);
    return &frames_[last_found_[0]];
  }
  for (size_t i = 0; i < count; ++i)
    if (frames_[i].page == page) {
      last_found_[1] = last_found_[0];
      last_found_[0] = i;
      return &frames_[i];
    }
  return nullptr;
}

std::vector<uint8_t> jet_pager::read_page(uint32_t page) const {
  std::vector<uint8_t> bytes;
  read_page(page, bytes);
  return bytes;
}

void jet_pager::read_page(uint32_t page, std::vector<uint8_t>& out) const {
  if (page >= page_count()) throw jet_corrupt(path_, "page " + std::to_string(page) + " is past the end");
  if (frame* held = find(page)) {
    held->last_use = ++clock_;
    out.assign(held->bytes.begin(), held->bytes.end());
    return;
  }
  frame* keep = writable_ ? spare_frame() : nullptr;
  if (!keep) {
    read_from_file(page, out);
    return;
  }
  keep->page = no_page;  // until the read has succeeded
  read_from_file(page, keep->bytes);
  keep->page = page;
  keep->dirty = false;
  keep->last_use = ++clock_;
  out.assign(keep->bytes.begin(), keep->bytes.end());
}

void jet_pager::read_from_file(uint32_t page, std::vector<uint8_t>& into) const {
  into.resize(page_size_);
  off_t at = off_t(uint64_t(page) * page_size_);
  size_t done = 0;
  while (done < page_size_) {
    ssize_t got = io_->pread(fd_, into.data() + done, page_size_ - done, at + off_t(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw jet_io_failure(errno);
    if (got == 0) throw jet_corrupt(path_, "cannot read page " + std::to_string(page));
    done += size_t(got);
  }
}

std::vector<uint8_t>& jet_pager::page_for_update(uint32_t page) {
  if (!writable_)
    throw jet_error(jet_dao_error::read_only, "Database '" + path_ + "' is opened read-only.");
  if (page >= page_count()) throw jet_corrupt(path_, "page " + std::to_string(page) + " is past the end");
  frame* held = find(page);
  if (!held) {
    held = &take_frame();
    held->page = no_page;  // until the read has succeeded
    read_from_file(page, held->bytes);
    held->page = page;
  }
  held->dirty = true;
  held->last_use = ++clock_;
  return held->bytes;
}

jet_pager::frame* jet_pager::spare_frame() const {
  if (frames_.size() < cache_pages) {
    frames_.emplace_back();
    return &frames_.back();
  }
  frame* found = nullptr;
  for (frame& held : frames_)
    if (!held.dirty && (!found || held.last_use < found->last_use)) found = &held;
  return found;
}

jet_pager::frame& jet_pager::take_frame() {
  if (frame* spare = spare_frame()) return *spare;
  // Every held page is changed: they go to the file together, which keeps
  // the file a whole picture of some moment and the writes large.
  flush();
  frame* found = &frames_.front();
  for (frame& held : frames_)
    if (held.last_use < found->last_use) found = &held;
  return *found;
}

void jet_pager::write_page(uint32_t page, const std::vector<uint8_t>& bytes) {
  if (!writable_)
    throw jet_error(jet_dao_error::read_only, "Database '" + path_ + "' is opened read-only.");
  if (bytes.size() != page_size_ || page > page_count())
    throw jet_error(jet_dao_error::invalid_argument, "Invalid page write.");
  // Refused before a frame is taken: the file and the held pages stay as
  // they were, and Access could still open the file.
  uint64_t end = uint64_t(page + 1) * page_size_;
  if (end > file_size_ && end > size_limit()) throw jet_size_limit_reached();
  frame* held = find(page);
  if (!held) {
    held = &take_frame();
    held->page = page;
  }
  held->bytes.assign(bytes.begin(), bytes.end());
  held->dirty = true;
  held->last_use = ++clock_;
  if (end > file_size_) file_size_ = end;
}

void jet_pager::write_run(const std::vector<frame*>& run) const {
  std::vector<iovec> parts;
  parts.reserve(run.size());
  for (frame* held : run) parts.push_back(iovec{held->bytes.data(), held->bytes.size()});
  off_t at = off_t(uint64_t(run.front()->page) * page_size_);
  size_t first = 0;
  while (first < parts.size()) {
    int count = int(std::min<size_t>(parts.size() - first, IOV_MAX));
    ssize_t put = io_->pwritev(fd_, parts.data() + first, count, at);
    if (put < 0 && errno == EINTR) continue;
    // Nothing written and no reason given: the disk took no more.
    if (put <= 0) throw jet_io_failure(put < 0 ? errno : ENOSPC);
    at += off_t(put);
    // A short write leaves the rest of the run for the next call.
    size_t left = size_t(put);
    while (left > 0 && left >= parts[first].iov_len) left -= parts[first++].iov_len;
    if (left > 0) {
      parts[first].iov_base = static_cast<uint8_t*>(parts[first].iov_base) + left;
      parts[first].iov_len -= left;
    }
  }
}

void jet_pager::journal_originals(const std::vector<frame*>& dirty) {
  if (!journal_) journal_ = std::make_unique<jet_journal>(path_, page_size_, session_start_size_, *io_);
  std::vector<uint8_t> original(page_size_);
  for (const frame* held : dirty) {
    if (!journal_->needs(held->page)) continue;
    // The last page of a file cut short may be partial: what there is of it.
    std::fill(original.begin(), original.end(), 0);
    const off_t at = off_t(uint64_t(held->page) * page_size_);
    size_t done = 0;
    while (done < page_size_) {
      ssize_t got = io_->pread(fd_, original.data() + done, page_size_ - done, at + off_t(done));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) throw jet_io_failure(errno);
      if (got == 0) break;
      done += size_t(got);
    }
    journal_->keep(held->page, original);
  }
  journal_->make_durable();
}

void jet_pager::flush() {
  std::vector<frame*> dirty;
  for (frame& held : frames_)
    if (held.dirty) dirty.push_back(&held);
  if (dirty.empty()) return;
  std::sort(dirty.begin(), dirty.end(), [](const frame* a, const frame* b) { return a->page < b->page; });
  journal_originals(dirty);
  std::vector<frame*> run;
  for (size_t start = 0; start < dirty.size();) {
    size_t end = start + 1;
    while (end < dirty.size() && dirty[end]->page == dirty[end - 1]->page + 1) ++end;
    run.assign(dirty.begin() + long(start), dirty.begin() + long(end));
    write_run(run);
    for (frame* held : run) held->dirty = false;
    start = end;
  }
}

void jet_pager::sync() {
  flush();
  while (io_->fsync(fd_) != 0) {
    if (errno != EINTR) throw jet_io_failure(errno);
  }
}

void jet_pager::commit() {
  if (!writable_) return;
  sync();
  if (journal_) {
    journal_->commit();
    journal_.reset();
  }
  session_start_size_ = file_size_;
}

void jet_pager::roll_back() {
  if (!writable_) return;
  frames_.clear();
  last_found_[0] = last_found_[1] = 0;
  if (journal_) {
    journal_.reset();
    jet_play_back_journal(path_, *io_);
  }
  file_size_ = session_start_size_;
}

uint64_t jet_pager::size_limit() const {
  uint64_t limit = format_->max_file_size;
  if (test_size_limit_ != 0 && test_size_limit_ < limit) limit = test_size_limit_;
  return limit;
}

size_t jet_pager::dirty_pages() const {
  return size_t(std::count_if(frames_.begin(), frames_.end(), [](const frame& held) { return held.dirty; }));
}

void jet_create_empty_file(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    int error = errno;
    if (error == EEXIST) throw jet_error(3204, "Database already exists.");
    if (error == ENOENT || error == ENOTDIR) throw jet_not_found(path);
    throw jet_io_failure(error);
  }
  ::close(fd);
}
