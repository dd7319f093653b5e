// Files in use: shared and exclusive opens against each other in one process
// and across processes, the lock file NAME.ldb beside the database, a holder
// that dies, folders nobody may write, and what DAO's members answer.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "dao_test_support.h"
#include "jet/database/database.h"
#include "jet/database/new_database.h"
#include "jet/file/lock.h"
#include "jet/format/error.h"
#include "sample_files.h"

namespace {

namespace fs = std::filesystem;

// 0 when the database opens as asked, else its DAO error number less 3000
// (so that it fits an exit status).
int open_outcome(const std::string& path, bool read_only, bool exclusive) {
  try {
    jet_database db(path, read_only, exclusive);
    return 0;
  } catch (const jet_error& error) {
    return error.number() - 3000;
  }
}

// Runs `body` in a child process; answers its exit status (-1 if it died).
int in_child(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    int code = 99;
    try {
      code = body();
    } catch (...) {
    }
    ::_exit(code);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A child process that opens the database and keeps it open until released
// or killed.
class child_holder {
 public:
  child_holder(const std::string& path, bool read_only, bool exclusive, bool as_nobody = false) {
    int report[2], go[2];
    if (::pipe(report) != 0 || ::pipe(go) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(report[0]);
      ::close(go[1]);
      {
        std::unique_ptr<jet_database> db;
        char outcome = 0;
        if (as_nobody && ::geteuid() == 0 && ::setuid(65534) != 0) ::_exit(97);
        try {
          db = std::make_unique<jet_database>(path, read_only, exclusive);
        } catch (const jet_error& error) {
          outcome = char(error.number() - 3000);
        }
        if (::write(report[1], &outcome, 1) != 1) ::_exit(98);
        char byte;
        while (::read(go[0], &byte, 1) < 0 && errno == EINTR) {
        }
      }
      ::_exit(0);
    }
    ::close(report[1]);
    ::close(go[0]);
    go_ = go[1];
    char outcome = 99;
    if (::read(report[0], &outcome, 1) != 1) outcome = 98;
    ::close(report[0]);
    outcome_ = outcome;
  }
  ~child_holder() {
    if (pid_ > 0) kill();
  }
  child_holder(const child_holder&) = delete;
  child_holder& operator=(const child_holder&) = delete;

  int outcome() const { return outcome_; }
  // Lets the child close the database and end; answers its exit status.
  int release() {
    // A byte, not the end of the pipe: children forked later hold its write end too.
    const char go = 1;
    if (::write(go_, &go, 1) != 1) ADD_FAILURE() << "child gone";
    ::close(go_);
    return wait();
  }
  void kill() {
    ::kill(pid_, SIGKILL);
    ::close(go_);
    wait();
  }

 private:
  int wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  pid_t pid_ = -1;
  int go_ = -1;
  int outcome_ = 99;
};

struct share_case {
  bool read_only;
  bool exclusive;
};
const share_case shared_reader{true, false}, shared_writer{false, false}, exclusive_writer{false, true},
    exclusive_reader{true, true};
const share_case every_share[] = {shared_reader, shared_writer, exclusive_writer, exclusive_reader};

// Two openers get along only when neither asks for the file alone and
// neither writes: a writer has the file to itself, so that no reader ever
// sees its pages half-written.
int expected_second(const share_case& first, const share_case& second) {
  const bool alone = first.exclusive || second.exclusive || !first.read_only || !second.read_only;
  return alone ? 45 : 0;
}

std::string describe(const share_case& share) {
  return std::string(share.exclusive ? "exclusive" : "shared") + (share.read_only ? " read-only" : " for update");
}

std::string host_name() {
  char name[256] = {};
  ::gethostname(name, sizeof name - 1);
  return name;
}

class jet_lock_test : public ::testing::Test {
 protected:
  jet_lock_test() : file_("locked.mdb") { jet_create_database(file_.path()); }
  const std::string& path() const { return file_.path(); }
  std::string lock_file() const { return (fs::path(file_.path()).parent_path() / "locked.ldb").string(); }

  scratch_file file_;
};

TEST(jet_lock_names, lock_file_beside_the_database_with_the_extension_replaced) {
  EXPECT_EQ(jet_lock_file_name("/data/Sales.mdb"), "/data/Sales.ldb");
  EXPECT_EQ(jet_lock_file_name("/data/Sales.MDB"), "/data/Sales.ldb");
  EXPECT_EQ(jet_lock_file_name("/data/year.2024.mdb"), "/data/year.2024.ldb");
  EXPECT_EQ(jet_lock_file_name("Sales.mdb"), "Sales.ldb");
  EXPECT_EQ(jet_lock_file_name("/data.d/Sales"), "/data.d/Sales.ldb");
  EXPECT_EQ(jet_lock_file_name("/data/.hidden"), "/data/.hidden.ldb");
  // Never the database itself.
  EXPECT_EQ(jet_lock_file_name("/data/odd.ldb"), "/data/odd.ldb.ldb");
  EXPECT_EQ(jet_lock_file_name("/data/odd.LDB"), "/data/odd.LDB.ldb");
}

TEST(jet_lock_names, entry_holds_computer_and_user_nul_padded) {
  const auto entry = jet_lock_entry("KESTROVA-PC", "Admin");
  ASSERT_EQ(entry.size(), 64u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry.data())), "KESTROVA-PC");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry.data() + 32)), "Admin");
  for (size_t i = 11; i < 32; ++i) EXPECT_EQ(entry[i], 0) << i;
  for (size_t i = 37; i < 64; ++i) EXPECT_EQ(entry[i], 0) << i;

  // A long computer name is cut so that it stays terminated inside its 32 bytes.
  const auto long_name = jet_lock_entry(std::string(40, 'x'), "Admin");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(long_name.data())), std::string(31, 'x'));
  EXPECT_EQ(long_name[31], 0);
  EXPECT_EQ(long_name[32], 'A');
}

TEST_F(jet_lock_test, every_pair_of_opens_in_one_process) {
  for (const share_case& first : every_share) {
    for (const share_case& second : every_share) {
      jet_database held(path(), first.read_only, first.exclusive);
      EXPECT_EQ(open_outcome(path(), second.read_only, second.exclusive), expected_second(first, second))
          << describe(first) << ", then " << describe(second);
    }
    // The refused opener took nothing with it: the first one's lock is gone
    // with it, and the file can be had alone again.
    EXPECT_EQ(open_outcome(path(), false, true), 0) << describe(first);
    EXPECT_FALSE(fs::exists(lock_file())) << describe(first);
  }
}

// Access 95/97 files sign their openers in the same way: the lock file's
// entries have the same layout in both versions.
TEST(jet_lock_access97, shared_and_exclusive_opens_and_the_lock_file) {
  scratch_file file("locked97.mdb");
  jet_create_database(file.path(), jet_format_jet3());
  const std::string lock_file = (fs::path(file.path()).parent_path() / "locked97.ldb").string();
  for (const share_case& first : every_share)
    for (const share_case& second : every_share) {
      jet_database held(file.path(), first.read_only, first.exclusive);
      EXPECT_EQ(open_outcome(file.path(), second.read_only, second.exclusive), expected_second(first, second))
          << describe(first) << ", then " << describe(second);
    }
  {
    jet_database reader(file.path(), true);
    jet_database second_reader(file.path(), true);
    EXPECT_EQ(reader.format().version, jet_const::version_jet3);
    const std::array<uint8_t, 64> expected = jet_lock_entry(host_name(), "Admin");
    const std::vector<uint8_t> bytes = read_whole_file(lock_file);
    ASSERT_EQ(bytes.size(), 128u);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin() + 64));
  }
  EXPECT_FALSE(fs::exists(lock_file));
}

TEST_F(jet_lock_test, every_pair_of_opens_across_processes) {
  for (const share_case& first : every_share) {
    for (const share_case& second : every_share) {
      {
        // The parent holds, a child asks.
        jet_database held(path(), first.read_only, first.exclusive);
        EXPECT_EQ(in_child([&] { return open_outcome(path(), second.read_only, second.exclusive); }),
                  expected_second(first, second))
            << "parent " << describe(first) << ", child " << describe(second);
      }
      // A child holds, the parent asks.
      child_holder child(path(), first.read_only, first.exclusive);
      ASSERT_EQ(child.outcome(), 0) << describe(first);
      EXPECT_EQ(open_outcome(path(), second.read_only, second.exclusive), expected_second(first, second))
          << "child " << describe(first) << ", parent " << describe(second);
      EXPECT_EQ(child.release(), 0);
    }
  }
  EXPECT_FALSE(fs::exists(lock_file()));
}

TEST_F(jet_lock_test, refusal_names_the_file_as_dao_does) {
  jet_database held(path(), false, true);
  try {
    jet_database second(path(), true, false);
    FAIL() << "a file held exclusively opened";
  } catch (const jet_error& error) {
    EXPECT_EQ(error.number(), 3045);
    EXPECT_EQ(std::string(error.what()), "Could not use '" + path() + "'; file already in use.");
  }
}

TEST_F(jet_lock_test, lock_file_lists_each_shared_opener_and_goes_with_the_last) {
  const std::array<uint8_t, 64> expected = jet_lock_entry(host_name(), "Admin");
  {
    jet_database reader(path(), true);
    ASSERT_TRUE(fs::exists(lock_file()));
    EXPECT_EQ(reader.lock_file(), lock_file());
    EXPECT_FALSE(reader.exclusive());
    {
      jet_database second_reader(path(), true);
      const std::vector<uint8_t> bytes = read_whole_file(lock_file());
      ASSERT_EQ(bytes.size(), 128u);
      EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin()));
      EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin() + 64));
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data() + 32)), "Admin");
    }
    // One still has it open: the file stays.
    EXPECT_TRUE(fs::exists(lock_file()));
    // A third opener takes the entry the second one left.
    jet_database third(path(), true);
    EXPECT_EQ(read_whole_file(lock_file()).size(), 128u);
  }
  EXPECT_FALSE(fs::exists(lock_file()));
  {
    // A writer signs in as well, and its entry goes with it.
    jet_database writer(path(), false);
    EXPECT_EQ(writer.lock_file(), lock_file());
    EXPECT_EQ(read_whole_file(lock_file()).size(), 64u);
  }
  EXPECT_FALSE(fs::exists(lock_file()));

  // An exclusive holder keeps no lock file, as Jet.
  jet_database alone(path(), false, true);
  EXPECT_TRUE(alone.exclusive());
  EXPECT_TRUE(alone.lock_file().empty());
  EXPECT_FALSE(fs::exists(lock_file()));
}

TEST_F(jet_lock_test, lock_file_appears_and_goes_across_processes) {
  {
    child_holder first(path(), true, false);
    ASSERT_EQ(first.outcome(), 0);
    EXPECT_TRUE(fs::exists(lock_file()));
    child_holder second(path(), true, false);
    ASSERT_EQ(second.outcome(), 0);
    EXPECT_EQ(read_whole_file(lock_file()).size(), 128u);
    EXPECT_EQ(first.release(), 0);
    EXPECT_TRUE(fs::exists(lock_file()));  // the second one is still in
    EXPECT_EQ(second.release(), 0);
  }
  EXPECT_FALSE(fs::exists(lock_file()));
}

TEST_F(jet_lock_test, many_openers_coming_and_going_leave_no_lock_file) {
  // Sign-ins and sign-outs racing each other: the lock file must never be
  // removed under someone still in, nor be left behind by the last one.
  std::vector<pid_t> children;
  for (int i = 0; i < 6; ++i) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      int code = 0;
      for (int round = 0; round < 30 && code == 0; ++round) {
        try {
          jet_database db(path(), true);
          if (db.lock_file().empty() || !fs::exists(db.lock_file())) code = 2;
        } catch (...) {
          code = 3;
        }
      }
      ::_exit(code);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  EXPECT_FALSE(fs::exists(lock_file()));
}

TEST_F(jet_lock_test, holder_that_dies_leaves_a_stale_lock_file_that_blocks_nobody) {
  {
    child_holder crashed(path(), false, false);
    ASSERT_EQ(crashed.outcome(), 0);
    crashed.kill();
  }
  ASSERT_TRUE(fs::exists(lock_file()));
  // Its hold went with the process: the file can be had alone.
  EXPECT_EQ(open_outcome(path(), false, true), 0);
  {
    jet_database db(path(), false);
    EXPECT_EQ(db.lock_file(), lock_file());
    EXPECT_EQ(read_whole_file(lock_file()).size(), 64u);  // the dead one's entry taken over
  }
  EXPECT_FALSE(fs::exists(lock_file()));

  // An exclusive holder that dies does not block either.
  {
    child_holder crashed(path(), false, true);
    ASSERT_EQ(crashed.outcome(), 0);
    EXPECT_EQ(open_outcome(path(), true, false), 45);
    crashed.kill();
  }
  EXPECT_EQ(open_outcome(path(), true, false), 0);
}

TEST_F(jet_lock_test, folder_nobody_may_write_opens_for_reading_or_exclusively) {
  const fs::path folder = fs::path(path()).parent_path();
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  struct restore {
    fs::path folder;
    ~restore() { fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add); }
  } restore_permissions{folder};

  try {
    jet_database writer(path(), false);
    ADD_FAILURE() << "opened for update without a lock file";
  } catch (const jet_error& error) {
    EXPECT_EQ(error.number(), 3051);
    EXPECT_EQ(std::string(error.what()),
              "The Microsoft Jet database engine cannot open the file '" + path() +
                  "'. It is already opened exclusively by another user, or you need permission to view its data.");
  }
  {
    jet_database reader(path(), true);
    EXPECT_TRUE(reader.lock_file().empty());
    EXPECT_FALSE(fs::exists(lock_file()));
    // Without an entry the reader still holds the file against exclusive use.
    EXPECT_EQ(open_outcome(path(), true, true), 45);
  }
  jet_database alone(path(), false, true);
  EXPECT_TRUE(alone.exclusive());
  EXPECT_FALSE(fs::exists(lock_file()));
}

TEST_F(jet_lock_test, exclusive_reader_of_a_file_it_may_not_write_holds_it_shared) {
  fs::permissions(path(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  {
    // The superuser may write anything: the child gives that up first.
    child_holder reader(path(), true, true, true);
    ASSERT_EQ(reader.outcome(), 0);
    EXPECT_EQ(open_outcome(path(), true, false), 0);  // other readers get in
    // Whoever may write it still cannot have it alone (and one who may not
    // write it cannot open it for update at all).
    EXPECT_EQ(open_outcome(path(), false, true), ::geteuid() == 0 ? 45 : 51);
    EXPECT_EQ(reader.release(), 0);
  }
  fs::permissions(path(), fs::perms::owner_write, fs::perm_options::add);
}

TEST_F(jet_lock_test, lock_file_is_never_written_through_a_link) {
  const std::string victim = (fs::path(path()).parent_path() / "victim.txt").string();
  write_whole_file(victim, {'k', 'e', 'e', 'p'});
  fs::create_symlink(victim, lock_file());
  {
    jet_database reader(path(), true);
    EXPECT_TRUE(reader.lock_file().empty());
  }
  EXPECT_EQ(open_outcome(path(), false, false), 51);
  EXPECT_EQ(read_whole_file(victim), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
  EXPECT_TRUE(fs::is_symlink(lock_file()));
}

TEST_F(jet_lock_test, missing_file_is_not_found_before_any_lock) {
  const std::string missing = (fs::path(path()).parent_path() / "missing.mdb").string();
  EXPECT_EQ(open_outcome(missing, false, false), 24);
  EXPECT_EQ(open_outcome(missing, true, true), 24);
  EXPECT_FALSE(fs::exists(jet_lock_file_name(missing)));
}

// ---- Through DAO's members ------------------------------------------------------------

class jet_lock_dao_test : public jd_test {
 protected:
  HRESULT open_as(const std::string& path, bool exclusive, bool read_only, com<Database>& db) {
    bstr name(std::u16string(path.begin(), path.end()));
    variant options = variant::boolean(exclusive), ro = variant::boolean(read_only), connect = variant::text(u"");
    return engine_->OpenDatabase(name, options.get(), ro.get(), connect.get(), db.out());
  }
};

TEST_F(jet_lock_dao_test, new_database_is_its_makers_alone_until_closed) {
  scratch_file file("made.mdb");
  com<Database> made;
  ASSERT_EQ(create(file.path(), made), S_OK) << last_text();
  com<Database> other;
  EXPECT_TRUE(FAILED(open(file.path(), true, other)));
  EXPECT_EQ(last_error(), 3045);
  EXPECT_EQ(last_text(), "Could not use '" + file.path() + "'; file already in use.");
  EXPECT_FALSE(fs::exists(jet_lock_file_name(file.path())));
  // Another process is refused too.
  EXPECT_EQ(in_child([&] { return open_outcome(file.path(), true, false); }), 45);

  ASSERT_EQ(made->Close(), S_OK);
  ASSERT_EQ(open(file.path(), true, other), S_OK) << last_text();
  EXPECT_TRUE(fs::exists(jet_lock_file_name(file.path())));
  ASSERT_EQ(other->Close(), S_OK);
  EXPECT_FALSE(fs::exists(jet_lock_file_name(file.path())));
}

TEST_F(jet_lock_dao_test, exclusive_option_of_open_database) {
  scratch_file file("opened.mdb");
  jet_create_database(file.path());
  com<Database> shared, alone;
  ASSERT_EQ(open_as(file.path(), false, false, shared), S_OK) << last_text();
  EXPECT_TRUE(FAILED(open_as(file.path(), true, false, alone)));
  EXPECT_EQ(last_error(), 3045);
  ASSERT_EQ(shared->Close(), S_OK);

  ASSERT_EQ(open_as(file.path(), true, false, alone), S_OK) << last_text();
  EXPECT_TRUE(FAILED(open_as(file.path(), false, true, shared)));
  EXPECT_EQ(last_error(), 3045);
  // Released without Close, the database lets go of the file as well.
  alone.reset();
  ASSERT_EQ(open_as(file.path(), true, true, alone), S_OK) << last_text();
  ASSERT_EQ(alone->Close(), S_OK);
}

}  // namespace
