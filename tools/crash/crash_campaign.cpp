// Kills dmwagent with SIGKILL at random points of its runs and checks what
// it leaves: the destination must pass `jetutil check` and be either exactly
// the file it was before the run (byte for byte) or what a finished run
// makes of it (the same tables and rows as a run that was never killed).
//
// A crash point is a count of bytes the agent has written (/proc/PID/io,
// "wchar"); the campaign watches the count and kills the agent the moment
// it passes the point, so the points fall anywhere in a run: while tables
// are made, rows written, indexes built, the journal or the file synced,
// the new file renamed into place.
//
// usage: crash_campaign --agent PATH --jetutil PATH --ocilite-tool PATH
//          --ocilite-library PATH --work DIR [--modes 0123] [--points N]
//          [--format 0|1] [--rows N] [--seed N]
// Prints one line per mode; exits 1 when any destination failed.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct settings {
  std::string agent, jetutil, ocilite_tool, ocilite_library, work;
  std::string modes = "0123";
  int points = 200;
  int format = 1;
  int rows = 6000;
  unsigned seed = 1;
};

[[noreturn]] void fail(const std::string& text) {
  std::cerr << "crash_campaign: " << text << "\n";
  std::exit(2);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) fail("cannot write " + path);
}

// Starts a program with its output in `output_path` and `env` added.
pid_t spawn(const std::vector<std::string>& args, const std::string& output_path,
            const std::vector<std::string>& env) {
  const pid_t pid = ::fork();
  if (pid < 0) fail("fork");
  if (pid == 0) {
    const int out = ::open(output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
      ::dup2(out, 1);
      ::dup2(out, 2);
    }
    for (const std::string& entry : env) ::putenv(const_cast<char*>(entry.c_str()));
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

int exit_status(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

// Runs a program to its end; its exit status.
int run_program(const std::vector<std::string>& args, const std::string& output_path) {
  int status = 0;
  ::waitpid(spawn(args, output_path, {}), &status, 0);
  return exit_status(status);
}

// The bytes the process has written so far; -1 once it is gone.
long long written_by(pid_t pid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/io", int(pid));
  const int fd = ::open(path, O_RDONLY);
  if (fd < 0) return -1;
  char text[1024];
  const ssize_t got = ::read(fd, text, sizeof text - 1);
  ::close(fd);
  if (got <= 0) return -1;
  text[got] = 0;
  const char* at = std::strstr(text, "wchar:");
  return at ? std::atoll(at + 6) : -1;
}

struct agent_run {
  bool killed = false;
  int status = 0;
  long long written = 0;  // the last count seen
};

class campaign {
 public:
  explicit campaign(settings given) : s_(std::move(given)), random_(s_.seed) {
    home_ = s_.work + "/home";
    dest_ = s_.work + "/dest.mdb";
    base_ = s_.work + "/base.mdb";
  }

  void prepare() {
    fs::remove_all(s_.work);
    fs::create_directories(home_);
    // OLD makes the destination the runs start from; NEW is what they convert.
    // KEEP exists only in OLD: no run may change it.
    make_user("OLD", big_rows(1, s_.rows / 2) + small_table("KEEP", 100, 0) + small_table("SHARED", 50, 0));
    make_user("NEW", big_rows(s_.rows / 2 + 1, s_.rows) + small_table("SHARED", 50, 1000) +
                         small_table("EXTRA", 300, 0));
    fs::remove(base_);
    const agent_run made = run_agent("OLD", 0, base_, 0);
    if (made.status != 0) fail("the base run failed: " + read_file(s_.work + "/agent.out"));
    base_bytes_ = read_file(base_);
  }

  // Returns the number of destinations that failed.
  int run_mode(int mode) {
    // A run never killed, for its result and its length.
    restore();
    const agent_run whole = run_agent("NEW", mode, dest_, 0);
    if (whole.status != 0) fail("mode " + std::to_string(mode) + " failed: " + read_file(s_.work + "/agent.out"));
    if (!check(dest_)) fail("mode " + std::to_string(mode) + ": a finished run fails check");
    const std::string finished = dump(dest_);
    const long long length = whole.written;

    int killed = 0, as_before = 0, as_finished = 0, failed = 0, ended_first = 0;
    for (int point = 0; point < s_.points; ++point) {
      restore();
      const long long kill_at = 1 + static_cast<long long>(random_() % uint64_t(length + length / 20));
      const agent_run run = run_agent("NEW", mode, dest_, kill_at);
      if (!run.killed) {
        ++ended_first;
        if (run.status != 0) {
          ++failed;
          report(mode, kill_at, "an unkilled run failed: " + read_file(s_.work + "/agent.out"));
          continue;
        }
      } else {
        ++killed;
      }
      if (!check(dest_)) {
        ++failed;
        report(mode, kill_at, "check: " + read_file(s_.work + "/check.out"));
        continue;
      }
      if (read_file(dest_) == base_bytes_) {
        ++as_before;
      } else if (dump(dest_) == finished) {
        ++as_finished;
      } else {
        ++failed;
        report(mode, kill_at, "neither as before nor as finished");
        fs::copy_file(dest_, s_.work + "/failed-" + std::to_string(mode) + "-" + std::to_string(kill_at) + ".mdb",
                      fs::copy_options::overwrite_existing);
      }
    }
    // What killed runs left beside the file goes with the next whole run.
    restore();
    if (run_agent("NEW", mode, dest_, 0).status != 0) {
      ++failed;
      report(mode, 0, "the run after the crashes failed: " + read_file(s_.work + "/agent.out"));
    }
    for (const std::string& left : leftovers()) {
      ++failed;
      report(mode, 0, "left behind: " + left);
    }
    std::printf("mode %d: %d crash points, %d killed; %d as before, %d as finished (%d ended before their point); "
                "%d failed\n",
                mode, s_.points, killed, as_before, as_finished,
                ended_first, failed);
    std::fflush(stdout);
    return failed;
  }

 private:
  static std::string big_rows(int from, int to) {
    std::ostringstream sql;
    sql << "CREATE TABLE BIG (ID NUMBER(9) PRIMARY KEY, NAME VARCHAR2(40), PRICE NUMBER(10,2),"
           " CREATED DATE, NOTE CLOB);\nCREATE INDEX BIG_NAME ON BIG (NAME);\n";
    for (int i = from; i <= to; ++i) {
      sql << "INSERT INTO BIG VALUES (" << i << ", 'item " << (i * 7919) % 100003 << "', " << i % 10000 << "."
          << i % 100 << ", DATE '" << 1990 + i % 35 << "-" << (i % 12 < 9 ? "0" : "") << i % 12 + 1 << "-"
          << (i % 28 < 9 ? "0" : "") << i % 28 + 1 << "', '";
      // Some notes outgrow a row and go to long-value pages.
      const int length = i % 17 == 0 ? 3000 : 40 + i % 90;
      for (int c = 0; c < length; ++c) sql << char('a' + (c * 5 + i) % 26);
      sql << "');\n";
    }
    return sql.str();
  }

  static std::string small_table(const std::string& name, int rows, int first) {
    std::ostringstream sql;
    sql << "CREATE TABLE " << name << " (K NUMBER(9) PRIMARY KEY, V VARCHAR2(30));\n";
    for (int i = first; i < first + rows; ++i) sql << "INSERT INTO " << name << " VALUES (" << i << ", 'v" << i << "');\n";
    return sql.str();
  }

  void make_user(const std::string& user, const std::string& script) {
    const std::string out = s_.work + "/ocilite.out";
    if (run_program({s_.ocilite_tool, "create-user", home_, "CRASH", user, "tiger"}, out) != 0)
      fail("ocilite create-user: " + read_file(out));
    const std::string path = s_.work + "/" + user + ".sql";
    write_file(path, script);
    if (run_program({s_.ocilite_tool, "run", home_, "CRASH", user, path}, out) != 0) fail("ocilite run: " + read_file(out));
  }

  // The destination as the next run finds it: the base file again. A crashed
  // run's journal was played back by the check before this.
  void restore() {
    write_file(dest_, base_bytes_);
  }

  agent_run run_agent(const std::string& user, int mode, const std::string& dest, long long kill_at) {
    const std::vector<std::string> args = {s_.agent,
                                           "--src=CRASH",
                                           "--oraclu=" + user,
                                           "--oraclp=tiger",
                                           "--dest=" + dest,
                                           "--acc_ver=" + std::to_string(s_.format),
                                           "--mode=" + std::to_string(mode)};
    const std::string out = s_.work + "/agent.out";
    const std::vector<std::string> env = {"DMW_OCI_LIBRARY=" + s_.ocilite_library, "OCILITE_HOME=" + home_};
    const pid_t pid = spawn(args, out, env);
    agent_run run;
    int status = 0;
    for (;;) {
      // Ended but not reaped yet: its count is still there to read, whole.
      siginfo_t ended {};
      const bool done = ::waitid(P_PID, id_t(pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid == pid;
      const long long written = written_by(pid);
      if (written > run.written) run.written = written;
      if (done) break;
      if (kill_at > 0 && written >= kill_at && !run.killed) {
        ::kill(pid, SIGKILL);
        run.killed = true;
      }
    }
    ::waitpid(pid, &status, 0);
    run.status = exit_status(status);
    return run;
  }

  bool check(const std::string& path) {
    return run_program({s_.jetutil, "check", path}, s_.work + "/check.out") == 0;
  }

  // The file's tables, rows and indexes as jetutil dumps them, without the
  // moment the file was made (every mode-0 run makes a new one).
  std::string dump(const std::string& path) {
    const std::string out = s_.work + "/dump.json";
    if (run_program({s_.jetutil, "dump", path, "--no-system"}, out) != 0) return "dump failed: " + read_file(out);
    std::string text = read_file(out);
    const std::string key = "\"created\":\"";
    if (const size_t at = text.find(key); at != std::string::npos) {
      const size_t end = text.find('"', at + key.size());
      if (end != std::string::npos) text.erase(at, end + 1 - at);
    }
    return text;
  }

  std::vector<std::string> leftovers() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(s_.work)) {
      const std::string name = entry.path().filename().string();
      if (name.find("dest") != std::string::npos && name != "dest.mdb") found.push_back(name);
    }
    return found;
  }

  void report(int mode, long long kill_at, const std::string& what) {
    std::fprintf(stderr, "mode %d, killed after %lld bytes: %s\n", mode, kill_at, what.c_str());
  }

  settings s_;
  std::mt19937_64 random_;
  std::string home_, dest_, base_, base_bytes_;
};

}  // namespace

int main(int argc, char** argv) {
  settings s;
  std::map<std::string, std::string*> texts = {{"--agent", &s.agent},
                                               {"--jetutil", &s.jetutil},
                                               {"--ocilite-tool", &s.ocilite_tool},
                                               {"--ocilite-library", &s.ocilite_library},
                                               {"--work", &s.work},
                                               {"--modes", &s.modes}};
  std::map<std::string, int*> numbers = {{"--points", &s.points}, {"--format", &s.format}, {"--rows", &s.rows}};
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    if (texts.count(name)) {
      *texts[name] = argv[i + 1];
    } else if (numbers.count(name)) {
      *numbers[name] = std::atoi(argv[i + 1]);
    } else if (name == "--seed") {
      s.seed = unsigned(std::strtoul(argv[i + 1], nullptr, 10));
    } else {
      fail("unknown option " + name);
    }
  }
  if (s.agent.empty() || s.jetutil.empty() || s.ocilite_tool.empty() || s.ocilite_library.empty() || s.work.empty())
    fail("--agent, --jetutil, --ocilite-tool, --ocilite-library and --work are required");
  if (::access("/proc/self/io", R_OK) != 0) fail("needs /proc/PID/io to see what the agent writes");
  campaign c(s);
  c.prepare();
  int failed = 0;
  for (char mode : s.modes) failed += c.run_mode(mode - '0');
  return failed == 0 ? 0 : 1;
}
