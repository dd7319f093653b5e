// The live progress line: its text, and the built dmwagent run on a
// pseudo-terminal over an ocilite schema with a table that takes a while.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "agent/agt_prog.h"
#include "agent_run.h"
#include "ocilite_schema.h"

extern char** environ;

TEST(ProgressLine, CountsRateAndTimeLeftCutToTheTerminal) {
  EXPECT_EQ(progress_display::format_line("BIG", 412000, 1000000, 52300, 80),
            "  BIG: 412,000 of 1,000,000 records (41%), 52,300 records/s, 0:11 left");
  // No rate yet: no time left either.
  EXPECT_EQ(progress_display::format_line("T", 0, 999, 0, 80), "  T: 0 of 999 records (0%)");
  EXPECT_EQ(progress_display::format_line("T", 5000, 5000, 10, 80), "  T: 5,000 of 5,000 records (100%), 10 records/s, 0:00 left");
  EXPECT_EQ(progress_display::format_line("T", 1, 7201, 2, 80), "  T: 1 of 7,201 records (0%), 2 records/s, 1:00:00 left");
  // One column stays free; cut between characters, never inside one.
  EXPECT_EQ(progress_display::format_line("BIG", 412000, 1000000, 52300, 11), "  BIG: 412");
  EXPECT_EQ(progress_display::format_line("T", 1, 2, 0, 0), "");
}

#ifdef OCILITE_TOOL
namespace {

struct terminal_run {
  std::string stream;  // every byte the terminal received
  std::string piped;   // standard error, when it was a pipe
  int exit_code = -1;
};

// dmwagent with its standard output (and standard error unless
// stderr_to_pipe) on a 100-column pseudo-terminal.
terminal_run run_on_terminal(const std::vector<std::string>& args, const std::filesystem::path& folder,
                             const std::vector<std::string>& extra_env, bool stderr_to_pipe) {
  std::vector<std::string> arg_texts{DMWAGENT_PATH};
  arg_texts.insert(arg_texts.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : arg_texts) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_texts;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "LC_", 3) != 0 && std::strncmp(*e, "LANG", 4) != 0 &&
        std::strncmp(*e, "DMW_OCI_LIBRARY=", 16) != 0)
      env_texts.emplace_back(*e);
  env_texts.emplace_back("LC_ALL=C");
  env_texts.insert(env_texts.end(), extra_env.begin(), extra_env.end());
  std::vector<char*> envp;
  for (auto& e : env_texts) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string cwd = folder.string();

  int err_pipe[2];
  if (::pipe(err_pipe) != 0) throw std::runtime_error("pipe failed");
  winsize size{};
  size.ws_row = 24;
  size.ws_col = 100;
  int master = -1;
  pid_t pid = ::forkpty(&master, nullptr, nullptr, &size);
  if (pid < 0) throw std::runtime_error("forkpty failed");
  if (pid == 0) {
    if (stderr_to_pipe) ::dup2(err_pipe[1], STDERR_FILENO);
    ::close(err_pipe[0]);
    ::close(err_pipe[1]);
    if (::chdir(cwd.c_str()) != 0) ::_exit(120);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(121);
  }
  ::close(err_pipe[1]);
  terminal_run run;
  // Both read as they come, so that neither fills while the other is read.
  pollfd fds[2] = {{master, POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  int open_count = 2;
  char buffer[4096];
  while (open_count > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? run.stream : run.piped).append(buffer, size_t(n));
      } else if (n == 0 || errno != EINTR) {  // EIO: the terminal's last writer is gone
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
  return run;
}

// The lines a terminal shows after the stream: CR returns to the start of the
// line, ESC [ K clears to its end, LF goes to the next line. Other escapes
// fail the test.
std::vector<std::string> screen_lines(const std::string& stream) {
  std::vector<std::string> lines(1);
  size_t column = 0;
  for (size_t at = 0; at < stream.size(); ++at) {
    const char c = stream[at];
    std::string& line = lines.back();
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      lines.emplace_back();
      column = 0;
    } else if (c == '\x1b') {
      EXPECT_EQ(stream.compare(at, 3, "\x1b[K"), 0) << "escape at " << at;
      line.resize(std::min(line.size(), column));
      at += 2;
    } else {
      if (column < line.size()) line[column] = c;
      else line.append(column - line.size(), ' ') += c;
      ++column;
    }
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

class AgentProgress : public ::testing::Test {
 protected:
  void SetUp() override {
    // 32,768 rows from one by doubling: seconds of work for the agent.
    std::string script =
        "CREATE TABLE BIG (ID NUMBER(9) PRIMARY KEY, TEXT VARCHAR2(100));\n"
        "INSERT INTO BIG VALUES (1, 'row text that gives each record some weight');\n";
    for (int i = 0; i < 15; ++i) script += "INSERT INTO BIG SELECT ID + (SELECT MAX(ID) FROM BIG), TEXT FROM BIG;\n";
    make_ocilite_schema(folder, script, env);
    // NOPE is missing: its line on standard error comes while BIG's display may be up.
    folder.write("tables.txt", "BIG\nNOPE\n");
  }
  std::vector<std::string> args(const std::string& dest) const {
    return {"--dest=" + dest, "--acc_ver=1", "--tab_file=tables.txt", "--src=DB", "--oraclu=scott",
            "--oraclp=tiger"};
  }

  scratch_folder folder;
  std::vector<std::string> env;
};

}  // namespace

TEST_F(AgentProgress, TerminalShowsTheLiveLineAndEndsWithThePlainLines) {
  const agent_run plain = run_agent(args("plain"), folder.path(), env);
  ASSERT_EQ(plain.exit_code, 0) << plain.out << plain.err;
  EXPECT_EQ(plain.out, "Converting database DB(2 tables)\nConverting table BIG(32768 records)\n");
  EXPECT_EQ(plain.err, "Table NOPE not exists\n");
  EXPECT_EQ(plain.out.find('\x1b'), std::string::npos);

  const terminal_run shown = run_on_terminal(args("shown"), folder.path(), env, false);
  EXPECT_EQ(shown.exit_code, 0) << shown.stream;
  std::vector<std::string> expected = split_lines(plain.out);
  for (const std::string& line : split_lines(plain.err)) expected.push_back(line);
  EXPECT_EQ(screen_lines(shown.stream), expected) << shown.stream;
  EXPECT_NE(shown.stream.find("  BIG: "), std::string::npos) << shown.stream;
  EXPECT_NE(shown.stream.find(" of 32,768 records ("), std::string::npos) << shown.stream;
  EXPECT_NE(shown.stream.find("\r\x1b[K"), std::string::npos);
  // Every drawn line fits the 100 columns.
  for (size_t at = 0; (at = shown.stream.find("  BIG: ", at)) != std::string::npos; ++at) {
    const size_t end = shown.stream.find('\x1b', at);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LT(end - at, 100u);
  }
}

TEST_F(AgentProgress, NothingExtraWhenSilentOrWhenStandardErrorIsNotATerminal) {
  std::vector<std::string> silent_args = args("silent");
  silent_args.push_back("--silent");
  const terminal_run silent = run_on_terminal(silent_args, folder.path(), env, false);
  EXPECT_EQ(silent.exit_code, 0);
  EXPECT_EQ(silent.stream, "");

  const terminal_run piped = run_on_terminal(args("piped"), folder.path(), env, true);
  EXPECT_EQ(piped.exit_code, 0);
  EXPECT_EQ(piped.piped, "Table NOPE not exists\n");
  EXPECT_EQ(piped.stream, "Converting database DB(2 tables)\r\nConverting table BIG(32768 records)\r\n");
}
#endif
