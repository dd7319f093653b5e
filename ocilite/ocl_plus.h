#pragma once
// SQL*Plus scripts as people keep them: SQL*Plus commands (REM, SET, PROMPT,
// DEFINE and &substitution, @ and @@, WHENEVER, EXIT, ...) between SQL
// statements ending with ";" or a "/" line, and PL/SQL text ending with a "/"
// line. The script is read line by line, so its size does not matter.
#include <iosfwd>
#include <string>

#include "ocilite/ocl_sess.h"

namespace ocl {

struct plus_options {
  std::ostream* out = nullptr;  // PROMPT and DEFINE listings
  std::ostream* err = nullptr;  // errors and warnings
  bool files = true;            // @, START and SPOOL may open files
};

// Runs a script file (or, with text, the script held in memory under the
// given name) and answers the exit status: 0, or 1 after a failure, or what
// EXIT / WHENEVER ... EXIT asked for.
int run_plus_file(session& s, const std::string& path, const plus_options& options);
int run_plus_text(session& s, const std::string& text, const std::string& name,
                  const plus_options& options);

}  // namespace ocl
