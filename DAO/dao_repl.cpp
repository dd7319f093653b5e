#include "DAO/dao_repl.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "DAO/dao_excp.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"
#include "TK/tk_utils.h"

namespace {
constexpr LONG file_in_use = 3045;

// DAO's own answer, raised so that the run ends.
dao_exception in_use(const std::u16string& shown_name) {
  return dao_exception("Could not use '" + tk_to_ansi(shown_name) + "'; file already in use.", file_in_use, 1);
}

bool exists(const std::u16string& file_name) {
  return ::access(tk_to_ansi(file_name).c_str(), F_OK) == 0;
}

size_t name_start(const std::u16string& path) {
  const size_t slash = path.rfind(u'/');
  return slash == std::u16string::npos ? 0 : slash + 1;
}

// A folder opened for syncing, closed with the object.
struct folder_handle {
  explicit folder_handle(const std::string& folder) : fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd < 0) throw tk_exception_ex();
  }
  ~folder_handle() { ::close(fd); }
  folder_handle(const folder_handle&) = delete;
  folder_handle& operator=(const folder_handle&) = delete;
  const int fd;
};

// The rename is only durable once the folder that records it is on disk.
void sync_folder(const std::u16string& file_name) {
  const size_t start = name_start(file_name);
  const std::string folder = start == 0 ? "." : tk_to_ansi(file_name.substr(0, start));
  const folder_handle handle(folder);
  if (::fsync(handle.fd) != 0) throw tk_exception_ex();
}

void remove_file(const std::u16string& file_name) {
  if (::unlink(tk_to_ansi(file_name).c_str()) != 0 && errno != ENOENT) throw tk_exception_ex();
}
}  // namespace

std::u16string dao_build_name(const std::u16string& destination) {
  const size_t start = name_start(destination);
  return destination.substr(0, start) + u"." + destination.substr(start) + u".dmwtmp";
}

std::unique_ptr<udb_database> dao_hold_exclusively(dao_engine& engine, const std::u16string& file_name,
                                                   const std::u16string& shown_name) {
  trace(2, u"dao_hold_exclusively(%s)", file_name.c_str());
  if (!exists(file_name)) return nullptr;
  try {
    // A file of another version or of no version at all is nobody's database.
    if (!engine.set_version_if(engine.get_acc_version(file_name))) return nullptr;
    return engine.open_db(file_name, dao_engine::mode_exclusive, std::u16string());
  } catch (const dao_exception& error) {
    if (error.number() == file_in_use) throw in_use(shown_name);
    trace(1, "Not held: %s", error.text().c_str());
  } catch (const tk_exception& error) {
    if (error.level() >= 2) throw;
    trace(1, "Not held: %s", error.text().c_str());
  }
  return nullptr;
}

void dao_check_replaceable(dao_engine& engine, const std::u16string& destination) {
  trace(2, u"dao_check_replaceable(%s)", destination.c_str());
  dao_hold_exclusively(engine, destination, destination);
  dao_hold_exclusively(engine, dao_build_name(destination), destination);
}

dao_replacement::dao_replacement(dao_engine& engine, const std::u16string& destination)
    : engine_(engine), destination_(destination), build_name_(dao_build_name(destination)) {
  trace(2, u"dao_replacement::ctor(%s)", destination.c_str());
  if (!exists(build_name_)) return;
  // Removed while held, so that a run starting meanwhile cannot take it up.
  std::unique_ptr<udb_database> stale = dao_hold_exclusively(engine_, build_name_, destination_);
  trace(1, u"Removing the build file '%s' of a run that did not finish", build_name_.c_str());
  remove_file(build_name_);
}

dao_replacement::~dao_replacement() {
  if (!built_) return;
  trace(2, u"dao_replacement: the run did not finish, removing '%s'", build_name_.c_str());
  if (::unlink(tk_to_ansi(build_name_).c_str()) != 0) trace(1, "The build file stays: errno %d", errno);
}

std::unique_ptr<udb_database> dao_replacement::create_db() {
  std::unique_ptr<udb_database> created = engine_.create_db(build_name_, destination_);
  built_ = true;
  return created;
}

void dao_replacement::put_in_place() {
  trace(2, u"dao_replacement::put_in_place(%s)", destination_.c_str());
  TK_CHECK(built_, "dao_repl");
  std::unique_ptr<udb_database> hold = dao_hold_exclusively(engine_, destination_, destination_);
  if (::rename(tk_to_ansi(build_name_).c_str(), tk_to_ansi(destination_).c_str()) != 0) throw tk_exception_ex();
  built_ = false;
  sync_folder(destination_);
}
