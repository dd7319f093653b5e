#include "agent_run.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

scratch_folder::scratch_folder() {
  static std::atomic<int> counter{0};
  path_ = fs::temp_directory_path() /
          ("dmw_agent_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
  fs::remove_all(path_);
  fs::create_directories(path_);
}

scratch_folder::~scratch_folder() {
  std::error_code ignored;
  // Read-only files inside must not keep the folder alive.
  for (auto& entry : fs::recursive_directory_iterator(path_, ignored))
    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

void scratch_folder::write(const std::string& name, const std::string& bytes) const {
  std::ofstream out(path_ / name, std::ios::binary);
  out << bytes;
}

agent_run run_agent(const std::vector<std::string>& args, const fs::path& folder,
                    const std::vector<std::string>& extra_env) {
  scratch_folder capture;
  const std::string out_path = capture / "stdout";
  const std::string err_path = capture / "stderr";

  // Everything the child needs is built before fork: after it only
  // async-signal-safe calls are allowed.
  std::vector<std::string> arg_texts{DMWAGENT_PATH};
  arg_texts.insert(arg_texts.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : arg_texts) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::vector<std::string> env_texts;
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, "LC_", 3) == 0 || std::strncmp(*e, "LANG", 4) == 0 ||
        std::strncmp(*e, "DMW_OCI_LIBRARY=", 16) == 0)
      continue;
    env_texts.emplace_back(*e);
  }
  env_texts.emplace_back("LC_ALL=C");
  bool library_given = false;
  for (const std::string& e : extra_env) library_given |= e.rfind("DMW_OCI_LIBRARY=", 0) == 0;
  if (!library_given) env_texts.emplace_back("DMW_OCI_LIBRARY=/nonexistent/libclntsh.so");
  env_texts.insert(env_texts.end(), extra_env.begin(), extra_env.end());
  std::vector<char*> envp;
  for (auto& e : env_texts) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string cwd = folder.string();

  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0 || ::chdir(cwd.c_str()) != 0) ::_exit(120);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(121);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  agent_run run;
  run.out = read_file(out_path);
  run.err = read_file(err_path);
  if (WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
  return run;
}
