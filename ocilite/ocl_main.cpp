// The ocilite command-line tool: creates users and loads schema scripts.
//   ocilite create-user HOME SERVICE USER PASSWORD
//   ocilite run HOME SERVICE USER SCRIPT.sql   (a SQL*Plus script)
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "ocilite/ocl_plus.h"
#include "ocilite/ocl_sess.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: ocilite create-user HOME SERVICE USER PASSWORD\n"
               "       ocilite run HOME SERVICE USER SCRIPT.sql\n");
  return 2;
}

bool make_folder(const std::string& path) {
  if (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) return true;
  std::fprintf(stderr, "ocilite: cannot create %s: %s\n", path.c_str(), std::strerror(errno));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) return usage();
  std::string command = argv[1], home = argv[2], service = argv[3], user;
  if (!ocl::normalize_user_name(argv[4], user)) {
    std::fprintf(stderr, "ocilite: invalid user name '%s'\n", argv[4]);
    return 1;
  }
  if (service.empty() || service.find('/') != std::string::npos || service == "." || service == "..") {
    std::fprintf(stderr, "ocilite: invalid service name '%s'\n", service.c_str());
    return 1;
  }
  std::string file = home + "/" + service + "/" + user + ".db";
  ocl::oracle_error error;
  if (command == "create-user") {
    if (!make_folder(home) || !make_folder(home + "/" + service)) return 1;
    if (!ocl::create_user_file(file, user, argv[5], error)) {
      std::fprintf(stderr, "%s\n", error.text.c_str());
      return 1;
    }
    return 0;
  }
  if (command == "run") {
    if (access(argv[5], R_OK) != 0) {
      std::fprintf(stderr, "ocilite: cannot read %s\n", argv[5]);
      return 1;
    }
    auto s = ocl::open_owner_session(file, user, error);
    if (!s) {
      std::fprintf(stderr, "%s\n", error.text.c_str());
      return 1;
    }
    ocl::plus_options options;
    options.out = &std::cout;
    options.err = &std::cerr;
    return ocl::run_plus_file(*s, argv[5], options);
  }
  return usage();
}
