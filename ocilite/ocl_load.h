#pragma once
// Schema scripts in Oracle's dialect: statements end with ";" (or a line
// holding only "/"), "--" and /* */ are comments. Each statement runs on the
// schema in order; the first failure stops the load.
#include <string>
#include <vector>

#include "ocilite/ocl_sess.h"

namespace ocl {

struct script_statement {
  std::string text;
  int line = 0;  // line of the statement's first word, from 1
};

// False with the error and its line when the text cannot be split (an
// unterminated literal, a last statement without its ";").
bool split_script(const std::string& text, std::vector<script_statement>& statements,
                  oracle_error& error, int& error_line);

// Runs a whole script; on failure answers false with the message
// "Error at line N:\nORA-nnnnn: ...".
bool run_script(session& s, const std::string& text, std::string& message);

}  // namespace ocl
