// dmwagent run as a user runs it: standard output, standard error and the
// exit code, byte for byte.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "agent_run.h"
#include "ocilite_schema.h"

namespace fs = std::filesystem;

namespace {
// Written out here so that a changed character of the program's text shows.
const std::string kUsage =
    "DMWAGENT v2.5, Copyright (c) Kestrova. All rights reserved.\n"
    "Usage: DMWAGENT.EXE OPTIONS\n"
    "\n"
    "   --acc_ver=...  format version for the destination MS Access database\n"
    "                  (0 - MS Access 95/97, 1 - MS Access 2000)\n"
    "   --dest=...     MS Access database name\n"
    "   --help         display this help message and exit\n"
    "   --logfile=...  path to the file where execution trace will be written\n"
    "   --mode=...     how to process an existing MS Access database\n"
    "                  (0 - overwrite the entire database, 1 - overwrite existing\n"
    "                  tables only, 2 - skip existing tables, 3 - merge)\n"
    "   --oraclh=...   network name or IP address of Oracle server\n"
    "   --oraclu=...   Oracle user name\n"
    "   --oraclp=...   Oracle user password\n"
    "   --port=...     Oracle port (for direct mode only)\n"
    "   --profile=...  path to the file to load conversion settings from\n"
    "   --silent       disable program output\n"
    "   --skip_idx     skip converting indexes\n"
    "   --src=...      Oracle database name\n"
    "   --tab_def      convert table definitions only\n"
    "   --tab_file=... file containing the list of tables to convert\n"
    "                  (one table name per line)\n"
    "\n"
    "NOTES:\n"
    "   1) If you have specified a profile, there is no need to specify any other\n"
    "      parameters\n"
    "   2) If you omit 'tab_file' parameter, all database tables will be converted\n"
    "   3) If you omit 'mode' parameter, default mode 'overwrite the entire\n"
    "      database' will be used\n"
    "   4) It is necessary to specify 'port' parameter only if it differs from\n"
    "      the default Oracle port 1521\n"
    "   5) Command line parameters that contain spaces should be enclosed in\n"
    "      quotes (for example --dest=\"my database.mdb\")\n"
    "\n";
const std::string kMissingClient =
    "The Oracle client and networking components were not found. "
    "These components are supplied by the Oracle Corporation and "
    "are part of the Oracle Version 7.3.4 (or later) client "
    "software installation. You will be unable to use this program "
    "until these components have been installed.";
const std::string kConnectFailure = "Error:\n" + kMissingClient + "\n";
const std::vector<std::string> kRequired = {"--dest=out", "--src=ORCL", "--acc_ver=1"};

std::vector<std::string> with_required(std::vector<std::string> args) {
  args.insert(args.end(), kRequired.begin(), kRequired.end());
  return args;
}

void expect_run(const agent_run& run, const std::string& out, const std::string& err, int code) {
  EXPECT_EQ(run.out, out);
  EXPECT_EQ(run.err, err);
  EXPECT_EQ(run.exit_code, code);
}

std::string decode_hex(const std::string& hex) {
  std::string text;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    text += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return text;
}

class AgentCli : public ::testing::Test {
 protected:
  agent_run run(const std::vector<std::string>& args) { return run_agent(args, folder.path()); }
  scratch_folder folder;
};
}  // namespace

TEST_F(AgentCli, UsageTextForNoArgumentsHelpAndUnknownArguments) {
  expect_run(run({}), "", kUsage, 255);
  expect_run(run({"--help"}), "", kUsage, 255);
  expect_run(run(with_required({"--helpme"})), "", kUsage, 255);
  // Without "=" the option matches nothing, even when everything else is fine.
  expect_run(run(with_required({"--dest"})), "", kUsage, 255);
  expect_run(run({"-h"}), "", kUsage, 255);
}

TEST_F(AgentCli, TwentyUnknownArgumentsGiveUsageTheTwentyFirstAnInternalError) {
  std::vector<std::string> args;
  for (int i = 0; i < 20; ++i) args.push_back("x" + std::to_string(i));
  expect_run(run(args), "", kUsage, 255);

  args.push_back("x20");
  agent_run r = run(args);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_code, 255);
  const std::string prefix = "Internal error: Internal error: \ncode=";
  ASSERT_EQ(r.out.rfind(prefix, 0), 0u) << r.out;
  ASSERT_EQ(r.out.back(), '\n');
  std::string location = decode_hex(r.out.substr(prefix.size(), r.out.size() - prefix.size() - 1));
  EXPECT_EQ(location.rfind("tk_cmdli\\", 0), 0u) << location;
}

TEST_F(AgentCli, ModeMustBeExactlyZeroToThree) {
  for (const char* bad : {"--mode=01", "--mode=+1", "--mode=1x", "--mode=4", "--mode=-1",
                          "--mode=", "--mode= 1"}) {
    SCOPED_TRACE(bad);
    expect_run(run(with_required({bad})), "", "Invalid merge/overwrite mode\n", 255);
  }
  // An accepted mode lets the run go on to the connection.
  expect_run(run(with_required({"--mode=1"})), kConnectFailure, "", 255);
  expect_run(run(with_required({"--mode=0"})), kConnectFailure, "", 255);
}

TEST_F(AgentCli, RequiredSettingsAreAskedForInTheirOrder) {
  expect_run(run({"--oraclh=", "--mode=2"}), "", "You should enter MS Access database name\n", 255);
  expect_run(run({"--dest=out", "--oraclh="}), "", "You should enter Oracle database name\n", 255);
  expect_run(run({"--dest=out", "--src=ORCL", "--oraclh="}), "",
             "You should enter network name or IP address of Oracle server\n", 255);
  expect_run(run({"--dest=out", "--src=ORCL"}), "",
             "You should specify MS Access format version (use '--acc_ver' option)\n", 255);
  // An empty destination does not become the program's own name.
  expect_run(run({"--dest=", "--src=ORCL", "--acc_ver=0"}), "",
             "You should enter MS Access database name\n", 255);
  // Host and port have defaults; these three are all that is required.
  expect_run(run(kRequired), kConnectFailure, "", 255);
}

TEST_F(AgentCli, SilentActsFromWhereItStands) {
  expect_run(run(with_required({"--silent", "--mode=9"})), "", "", 255);
  expect_run(run(with_required({"--mode=9", "--silent"})), "", "Invalid merge/overwrite mode\n", 255);
  // The usage text comes after the whole line was read, so it is silent too.
  expect_run(run({"--bogus", "--silent"}), "", "", 255);
  expect_run(run({"--silent", "--dest=out"}), "", "", 255);
  // Errors of the run are not shown either, and the exit code stays.
  expect_run(run(with_required({"--silent"})), "", "", 255);
}

TEST_F(AgentCli, ProfileReplacesTheRequiredOptionsOnlyWhenItLoads) {
  folder.write("p.dmw", "[Generic settings]\r\ndest=x.mdb\r\nsrc=ORCL\r\n\r\n");
  folder.write("bom.dmw", "\xEF\xBB\xBF[Generic settings]\r\ndest=x.mdb\r\n");
  expect_run(run({"--profile=p.dmw"}), kConnectFailure, "", 255);
  // A profile given before other options still counts as loaded.
  expect_run(run({"--profile=p.dmw", "--oraclh=srv", "--mode=3"}), kConnectFailure, "", 255);
  expect_run(run({"--mode=3", "--profile=p.dmw"}), kConnectFailure, "", 255);
  expect_run(run({"--profile=missing.dmw"}), "", "You should enter MS Access database name\n", 255);
  expect_run(run({"--profile=bom.dmw", "--src=ORCL"}), "",
             "You should enter MS Access database name\n", 255);
  // A later profile that fails replaces the earlier success.
  expect_run(run({"--profile=p.dmw", "--profile=missing.dmw"}), "",
             "You should specify MS Access format version (use '--acc_ver' option)\n", 255);
  expect_run(run({"--profile=p.dmw", "--mode=7"}), "", "Invalid merge/overwrite mode\n", 255);
}

TEST_F(AgentCli, TableNamesFile) {
  folder.write("tables.txt", "\xEF\xBB\xBF" "EMP\r\n\r\nDEPT  \nBONUS");
  folder.write("long.txt", "EMP\n" + std::string(255, 'T') + "\n");
  expect_run(run(with_required({"--tab_file=tables.txt"})), kConnectFailure, "", 255);
  expect_run(run(with_required({"--tab_file=missing.txt"})), "",
             "Table names file does not exist.\nPlease verify the correct path/name was given.\n",
             255);
  expect_run(run(with_required({"--tab_file=."})), "",
             "Table names file does not exist.\nPlease verify the correct path/name was given.\n",
             255);
  expect_run(run(with_required({"--tab_file=long.txt"})), "",
             "Table names file holds a line longer than 254 characters.\n", 255);
}

TEST_F(AgentCli, LogFileHoldsMilestonesOnlyAndStartsAfreshEachRun) {
  const fs::path log = folder / "run.log";
  folder.write("run.log", "lines of an earlier run\r\n");
  const std::string expected = "Connecting to Oracle data source '//localhost:1521/ORCL'\r\nError:\n" + std::string(
      "The Oracle client and networking components were not found.\n"
      "These components are supplied by the Oracle Corporation and\n"
      "are part of the Oracle Version 7.3.4 (or later) client\n"
      "software installation. You will be unable to use this program\n"
      "until these components have been installed.") + "\r\n";
  for (int i = 0; i < 2; ++i) {
    expect_run(run(with_required({"--logfile=run.log"})), kConnectFailure, "", 255);
    EXPECT_EQ(read_file(log), expected);
  }
  expect_run(run({"--logfile=run.log", "--mode=9"}), "", "Invalid merge/overwrite mode\n", 255);
  EXPECT_EQ(read_file(log), "Invalid merge/overwrite mode\r\n");
  // Messages of silent runs are still traced.
  expect_run(run({"--logfile=run.log", "--silent", "--src=ORCL"}), "", "", 255);
  EXPECT_EQ(read_file(log), "You should enter MS Access database name\r\n");
  // A log file named after the failing option is never opened.
  expect_run(run({"--mode=9", "--logfile=late.log"}), "", "Invalid merge/overwrite mode\n", 255);
  EXPECT_FALSE(fs::exists(folder / "late.log"));
  // Non-ASCII names are taken in the locale's character set (UTF-8 under C).
  expect_run(run({"--logfile=j\xC3\xB6urnal.log", "--mode=9"}), "", "Invalid merge/overwrite mode\n",
             255);
  EXPECT_EQ(read_file(folder / "j\xC3\xB6urnal.log"), "Invalid merge/overwrite mode\r\n");
}

TEST_F(AgentCli, WithoutLogFileNoFileIsWritten) {
  const fs::path own_log = fs::path(DMWAGENT_PATH).replace_extension(".log");
  expect_run(run(kRequired), kConnectFailure, "", 255);
  expect_run(run({"--mode=9"}), "", "Invalid merge/overwrite mode\n", 255);
  EXPECT_TRUE(fs::is_empty(folder.path()));
  EXPECT_FALSE(fs::exists(own_log));
}

TEST_F(AgentCli, LogFileThatCannotBeWrittenEndsTheRun) {
  folder.write("ro.log", "");
  fs::permissions(folder / "ro.log", fs::perms::owner_read | fs::perms::group_read);
  expect_run(run(with_required({"--logfile=ro.log"})),
             "Error:\nLogfile name specifies an existing read-only file.\n", "", 255);
  expect_run(run(with_required({"--logfile=nowhere/run.log"})),
             "Error:\nLogfile path does not exist. Please verify the correct path was given.\n", "",
             255);
  // Silent mode hides the message but not the exit code.
  expect_run(run(with_required({"--silent", "--logfile=nowhere/run.log"})), "", "", 255);
  EXPECT_FALSE(fs::exists(folder / "nowhere"));
}

TEST_F(AgentCli, ConnectionFailsHonestlyWithoutAnOracleClient) {
  expect_run(run(with_required({"--oraclh=db.example", "--oraclu=scott", "--oraclp=tiger",
                                "--port=1522", "--mode=3", "--skip_idx", "--tab_def"})),
             kConnectFailure, "", 255);
  // Nothing was written at the destination.
  EXPECT_TRUE(fs::is_empty(folder.path()));
  // A file that is no Oracle client counts as none.
  folder.write("libclntsh.so", "not a library");
  expect_run(run_agent(kRequired, folder.path(), {"DMW_OCI_LIBRARY=./libclntsh.so"}),
             kConnectFailure, "", 255);
}

TEST_F(AgentCli, LogonFailuresThroughAClientEndTheRunWithTheirMappedTexts) {
  // An ocilite home with the schema DB/SCOTT/tiger, made by the ocilite tool.
  std::vector<std::string> env;
  make_ocilite_schema(folder, "", env);
  const std::vector<std::string> to_db = {"--dest=out", "--src=DB", "--acc_ver=1", "--oraclu=scott"};
  std::vector<std::string> args = to_db;
  args.push_back("--oraclp=lion");
  expect_run(run_agent(args, folder.path(), env), "Error:\nInvalid user name or password.\n", "", 255);
  expect_run(run_agent({"--dest=out", "--src=NOSUCH", "--acc_ver=1", "--oraclu=scott", "--oraclp=tiger"},
                       folder.path(), env),
             "Error:\nCannot resolve Oracle service name. Check to verify the correct name was given. \n", "",
             255);
  args = to_db;
  args.insert(args.end(), {"--oraclp=tiger", "--port=1600"});
  expect_run(run_agent(args, folder.path(), env),
             "Error:\nORA-12541: no listener. For more information see Troubleshooting article of the "
             "product documentation.\n",
             "", 255);
  // Silent runs keep the exit code.
  args = to_db;
  args.insert(args.end(), {"--silent", "--oraclp=lion"});
  expect_run(run_agent(args, folder.path(), env), "", "", 255);
  // Nothing was written at the destination.
  EXPECT_FALSE(fs::exists(folder / "out"));
  EXPECT_FALSE(fs::exists(folder / "out.mdb"));
}

TEST_F(AgentCli, ProfileModeMustBeEmptyOrOneDigitZeroToThree) {
  for (const char* bad : {"3abc", "99", "x", "4", "-1"}) {
    SCOPED_TRACE(bad);
    folder.write("p.dmw", std::string("[Generic settings]\r\ndest=x.mdb\r\nsrc=ORCL\r\nmode=") + bad + "\r\n");
    expect_run(run({"--profile=p.dmw"}), "", "Invalid merge/overwrite mode\n", 255);
    // Refused at the profile: what follows it cannot save the run.
    expect_run(run({"--profile=p.dmw", "--mode=3"}), "", "Invalid merge/overwrite mode\n", 255);
    expect_run(run({"--profile=p.dmw", "--silent"}), "", "Invalid merge/overwrite mode\n", 255);
  }
  // Empty or absent: the run goes on to the connection as before.
  for (const char* good : {"mode=\r\n", "", "mode=3\r\n"}) {
    SCOPED_TRACE(good);
    folder.write("p.dmw", std::string("[Generic settings]\r\ndest=x.mdb\r\nsrc=ORCL\r\n") + good);
    expect_run(run({"--profile=p.dmw"}), kConnectFailure, "", 255);
  }
  EXPECT_FALSE(fs::exists(folder / "x.mdb"));
}

TEST_F(AgentCli, FileNamesTheLocaleCannotReadAreRefused) {
  for (const char* locale : {"LC_ALL=C.UTF-8", "LC_ALL=C"}) {
    SCOPED_TRACE(locale);
    const auto run_in = [&](const std::vector<std::string>& args) { return run_agent(args, folder.path(), {locale}); };
    expect_run(run_in(with_required({"--dest=o\xFFut"})), "",
               "The name given with --dest= is not valid in the locale's character set.\n", 255);
    expect_run(run_in({"--logfile=r\xFFun.log", "--dest=out", "--src=ORCL", "--acc_ver=1"}), "",
               "The name given with --logfile= is not valid in the locale's character set.\n", 255);
    // A broken sequence is as unreadable as a lone byte.
    expect_run(run_in(with_required({"--dest=\xC3("})), "",
               "The name given with --dest= is not valid in the locale's character set.\n", 255);
    EXPECT_TRUE(fs::is_empty(folder.path()));
    // Characters the locale reads pass.
    expect_run(run_in(with_required({"--dest=\xC3\xA9t\xC3\xA9"})), kConnectFailure, "", 255);
  }
}

TEST_F(AgentCli, ProfileHoldingAPasswordThatOthersCanReadIsWarnedAboutOnce) {
  const std::string with_password =
      "[Generic settings]\r\ndest=x.mdb\r\nsrc=ORCL\r\n\r\n[Oracle settings]\r\nuser=scott\r\npassword=tiger\r\n";
  const std::string warning =
      "Warning: profile p.dmw holds a password and can be read by other users (chmod 600 p.dmw).\n";
  folder.write("p.dmw", with_password);
  fs::permissions(folder / "p.dmw", static_cast<fs::perms>(0644));
  expect_run(run({"--profile=p.dmw", "--acc_ver=1"}), kConnectFailure, warning, 255);
  expect_run(run({"--profile=p.dmw", "--profile=p.dmw"}), kConnectFailure, warning, 255);
  expect_run(run({"--profile=p.dmw", "--silent"}), "", "", 255);
  fs::permissions(folder / "p.dmw", static_cast<fs::perms>(0640));
  expect_run(run({"--profile=p.dmw"}), kConnectFailure, warning, 255);
  fs::permissions(folder / "p.dmw", static_cast<fs::perms>(0600));
  expect_run(run({"--profile=p.dmw"}), kConnectFailure, "", 255);
  // The Access passwords count as well; a profile without any is no one's secret.
  folder.write("a.dmw", "[Generic settings]\r\ndest=x.mdb\r\nsrc=ORCL\r\n\r\n[MS Access settings]\r\n"
                        "database password=pw\r\n");
  fs::permissions(folder / "a.dmw", static_cast<fs::perms>(0604));
  expect_run(run({"--profile=a.dmw"}), kConnectFailure,
             "Warning: profile a.dmw holds a password and can be read by other users (chmod 600 a.dmw).\n", 255);
  folder.write("n.dmw", "[Generic settings]\r\ndest=x.mdb\r\nsrc=ORCL\r\n");
  fs::permissions(folder / "n.dmw", static_cast<fs::perms>(0644));
  expect_run(run({"--profile=n.dmw"}), kConnectFailure, "", 255);
}

TEST_F(AgentCli, PasswordLeavesTheProcessArgumentsAndTheProcessCannotBeDumped) {
  // The first trace line waits on a FIFO nobody reads: the agent is held
  // right after parsing, the password in hand.
  ASSERT_EQ(::mkfifo((folder / "trace.fifo").c_str(), 0666), 0);
  ASSERT_EQ(::chmod((folder / "trace.fifo").c_str(), 0666), 0);  // past the umask, for the other user
  ASSERT_EQ(::chmod(folder.path().c_str(), 0777), 0);
  std::vector<std::string> texts = {DMWAGENT_PATH, "--oraclu=scott", "--oraclp=tiger", "--dest=out",
                                    "--src=ORCL", "--acc_ver=1", "--logfile=trace.fifo"};
  std::vector<char*> argv;
  for (auto& t : texts) argv.push_back(t.data());
  argv.push_back(nullptr);
  std::string lc = "LC_ALL=C", lib = "DMW_OCI_LIBRARY=/nonexistent/libclntsh.so";
  std::vector<char*> envp = {lc.data(), lib.data(), nullptr};
  const std::string cwd = folder.path().string();
  // Run as another user when we are root: the owner of /proc/PID then shows
  // whether the process may be dumped (root owns it when it may not).
  const bool as_nobody = ::geteuid() == 0;
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    if (as_nobody && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(122);
    if (::chdir(cwd.c_str()) != 0) ::_exit(120);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(121);
  }
  const std::string expected = std::string(DMWAGENT_PATH) + '\0' + "--oraclu=scott" + '\0' + "--oraclp=*****" + '\0' +
                               "--dest=out" + '\0' + "--src=ORCL" + '\0' + "--acc_ver=1" + '\0' +
                               "--logfile=trace.fifo" + '\0';
  const fs::path proc = "/proc/" + std::to_string(pid);
  std::string cmdline;
  // Held at the FIFO once the log file is enabled; the masking comes before.
  for (int i = 0; i < 600 && cmdline != expected; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    cmdline = read_file(proc / "cmdline");
  }
  EXPECT_EQ(cmdline, expected);
  EXPECT_EQ(cmdline.find("tiger"), std::string::npos);
  struct stat st {};
  ASSERT_EQ(::stat((proc / "status").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u) << "the agent may be dumped";
  ::kill(pid, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status)) << "the agent was not held at its log file; exit code "
                                   << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);
}
