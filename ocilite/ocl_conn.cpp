// Logon: where the data lives and who may see it. OCILITE_HOME names a
// folder; a connect string "//host:port/service" reaches it when the host is
// this machine (or is listed in OCILITE_HOME/hosts) and the port is the one in
// OCILITE_HOME/port (1521 without that file). Each service is a folder, each
// user a schema file <service>/<USER>.db.
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "ocilite/ocl_hand.h"

namespace ocl {

namespace {

struct easy_connect {
  std::string host, port = "1521", service;
};

// "//host:port/service", "host:port/service", "host/service"; IPv6 hosts in brackets.
bool parse_connect(const std::string& text, easy_connect& out) {
  std::string s = text;
  if (s.rfind("//", 0) == 0) s = s.substr(2);
  size_t slash = s.find('/');
  if (slash == std::string::npos) return false;
  out.service = s.substr(slash + 1);
  std::string address = s.substr(0, slash);
  size_t colon = std::string::npos;
  if (!address.empty() && address[0] == '[') {
    size_t close = address.find(']');
    if (close == std::string::npos) return false;
    out.host = address.substr(1, close - 1);
    if (close + 1 < address.size()) {
      if (address[close + 1] != ':') return false;
      colon = close + 1;
    }
  } else {
    colon = address.rfind(':');
    if (colon != std::string::npos && address.find(':') != colon) colon = std::string::npos;  // bare IPv6
    out.host = colon == std::string::npos ? address : address.substr(0, colon);
  }
  if (colon != std::string::npos) out.port = address.substr(colon + 1);
  // Service names may carry a server type ("DEMO:dedicated"); only the name counts.
  size_t kind = out.service.find(':');
  if (kind != std::string::npos) out.service = out.service.substr(0, kind);
  return !out.service.empty();
}

std::string trimmed(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n"), e = s.find_last_not_of(" \t\r\n");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

std::vector<std::string> read_lines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    line = trimmed(line);
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

bool is_directory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool known_host(const std::string& home, const std::string& host) {
  if (host.empty()) return false;
  if (strcasecmp(host.c_str(), "localhost") == 0 || host == "127.0.0.1" || host == "::1") return true;
  for (const std::string& line : read_lines(home + "/hosts"))
    if (strcasecmp(line.c_str(), host.c_str()) == 0) return true;
  return false;
}

// Service names are matched as Oracle matches them: without regard to case.
bool find_service(const std::string& home, const std::string& service, std::string& folder) {
  if (service.find('/') != std::string::npos || service == "." || service == "..") return false;
  DIR* dir = opendir(home.c_str());
  if (!dir) return false;
  bool found = false;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (strcasecmp(name.c_str(), service.c_str()) == 0 && is_directory(home + "/" + name)) {
      folder = home + "/" + name;
      found = true;
      break;
    }
  }
  closedir(dir);
  return found;
}

}  // namespace

std::shared_ptr<session> logon(const std::string& connect, const std::string& user_written,
                               const std::string& password, oracle_error& error) {
  const char* home_env = std::getenv("OCILITE_HOME");
  std::string home = home_env ? home_env : "";
  easy_connect target;
  if (connect.empty()) {
    error = make_error(12162);
    return nullptr;
  }
  if (!parse_connect(connect, target)) {
    error = make_error(12154);
    return nullptr;
  }
  if (home.empty() || !is_directory(home)) {
    error = make_error(12541);
    return nullptr;
  }
  if (!known_host(home, target.host)) {
    error = make_error(12545);
    return nullptr;
  }
  std::vector<std::string> port_lines = read_lines(home + "/port");
  std::string port = port_lines.empty() ? "1521" : port_lines[0];
  if (target.port != port) {
    error = make_error(12541);
    return nullptr;
  }
  std::string folder;
  if (!find_service(home, target.service, folder)) {
    error = make_error(12514);
    return nullptr;
  }
  std::string user;
  if (!normalize_user_name(user_written, user)) {
    error = make_error(1017);
    return nullptr;
  }
  std::vector<std::string> banner = read_lines(folder + "/banner");
  if (banner.empty()) banner = default_banner();
  std::unique_ptr<session> opened = open_session(folder + "/" + user + ".db", user, password, banner, error);
  return std::shared_ptr<session>(std::move(opened));
}

}  // namespace ocl

using namespace ocl;

sword OCIServerAttach(OCIServer* srvhp, OCIError* errhp, const OraText*, sb4, ub4) try {
  auto* server = find<server_handle>(srvhp, OCI_HTYPE_SERVER);
  if (!server) return OCI_INVALID_HANDLE;
  clear(find<error_handle>(errhp, OCI_HTYPE_ERROR));
  server->attached = true;  // the target is named at logon
  return OCI_SUCCESS;
} catch (...) {
  return internal_failure(errhp);
}

sword OCIServerDetach(OCIServer* srvhp, OCIError* errhp, ub4) try {
  auto* server = find<server_handle>(srvhp, OCI_HTYPE_SERVER);
  if (!server) return OCI_INVALID_HANDLE;
  clear(find<error_handle>(errhp, OCI_HTYPE_ERROR));
  server->attached = false;
  return OCI_SUCCESS;
} catch (...) {
  return internal_failure(errhp);
}

sword OCILogon(OCIEnv* envhp, OCIError* errhp, OCISvcCtx** svchp, const OraText* username,
               ub4 uname_len, const OraText* password, ub4 passwd_len, const OraText* dbname,
               ub4 dbname_len) try {
  auto* env = find<env_handle>(envhp, OCI_HTYPE_ENV);
  auto* err = find<error_handle>(errhp, OCI_HTYPE_ERROR);
  if (!env || !err || !svchp) return OCI_INVALID_HANDLE;
  clear(err);
  oracle_error error;
  std::shared_ptr<session> db =
      logon(text_in(env, dbname, dbname_len), text_in(env, username, uname_len),
            text_in(env, password, passwd_len), error);
  if (!db) return fail(err, error);
  // The logon makes its own service context, as Oracle's does.
  auto svc = std::make_unique<svc_handle>();
  svc->type = OCI_HTYPE_SVCCTX;
  svc->env = env;
  svc->db = std::move(db);
  *svchp = reinterpret_cast<OCISvcCtx*>(add_handle(std::move(svc)));
  return OCI_SUCCESS;
} catch (...) {
  return internal_failure(errhp);
}

sword OCILogoff(OCISvcCtx* svchp, OCIError* errhp) try {
  auto* svc = find<svc_handle>(svchp, OCI_HTYPE_SVCCTX);
  if (!svc) return OCI_INVALID_HANDLE;
  clear(find<error_handle>(errhp, OCI_HTYPE_ERROR));
  free_handle(svc);
  return OCI_SUCCESS;
} catch (...) {
  return internal_failure(errhp);
}
