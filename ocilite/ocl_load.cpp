#include "ocilite/ocl_load.h"

#include <cctype>

#include "ocilite/ocl_exec.h"

namespace ocl {

bool split_script(const std::string& text, std::vector<script_statement>& out,
                  oracle_error& error, int& error_line) {
  out.clear();
  std::string current;
  int line = 1, start_line = 0, quote_line = 0;
  bool significant = false;
  size_t i = 0;
  const size_t n = text.size();
  auto finish = [&] {
    if (significant) out.push_back({current, start_line});
    current.clear();
    significant = false;
  };
  while (i < n) {
    char c = text[i];
    if (c == '\n') {
      ++line;
      current += c;
      ++i;
      // A line holding only "/" ends the statement, as in SQL*Plus.
      size_t j = i;
      while (j < n && (text[j] == ' ' || text[j] == '\t')) ++j;
      if (j < n && text[j] == '/') {
        size_t k = j + 1;
        while (k < n && (text[k] == ' ' || text[k] == '\t' || text[k] == '\r')) ++k;
        if (k >= n || text[k] == '\n') {
          finish();
          i = k;
        }
      }
      continue;
    }
    if (c == '-' && i + 1 < n && text[i + 1] == '-') {
      while (i < n && text[i] != '\n') current += text[i++];
      continue;
    }
    if (c == '/' && i + 1 < n && text[i + 1] == '*') {
      size_t close = text.find("*/", i + 2);
      size_t end = close == std::string::npos ? n : close + 2;
      for (; i < end; ++i) {
        if (text[i] == '\n') ++line;
        current += text[i];
      }
      continue;
    }
    if (c == '\'' || c == '"') {
      if (!significant) { significant = true; start_line = line; }
      quote_line = line;
      current += text[i++];
      bool closed = false;
      while (i < n) {
        if (text[i] == '\n') ++line;
        current += text[i];
        if (text[i++] == c) {
          if (c == '\'' && i < n && text[i] == '\'') { current += text[i++]; continue; }
          closed = true;
          break;
        }
      }
      if (!closed) {
        error = make_error(c == '\'' ? 1756 : 1740);
        error_line = quote_line;
        return false;
      }
      continue;
    }
    if (c == ';') {
      ++i;
      if (!significant) {
        error = make_error(900);
        error_line = line;
        return false;
      }
      finish();
      continue;
    }
    if (!std::isspace((unsigned char)c) && !significant) {
      significant = true;
      start_line = line;
    }
    current += c;
    ++i;
  }
  if (significant) {
    error = {933, "ORA-00933: SQL command not properly ended (missing \";\" at the end of the script)"};
    error_line = start_line;
    return false;
  }
  return true;
}

bool run_script(session& s, const std::string& file_text, std::string& message) {
  // Editors on Windows like to start UTF-8 files with a byte-order mark.
  const std::string bom = "\xEF\xBB\xBF";
  std::string text = file_text.rfind(bom, 0) == 0 ? file_text.substr(bom.size()) : file_text;
  std::vector<script_statement> statements;
  oracle_error error;
  int line = 0;
  if (!split_script(text, statements, error, line)) {
    message = "Error at line " + std::to_string(line) + ":\n" + error.text;
    return false;
  }
  oracle_error ignored;
  run_sql(s, "BEGIN", ignored);  // one transaction: a load is fast and all-or-nothing
  for (const script_statement& statement : statements) {
    cursor c;
    if (!c.prepare(s, statement.text, error) || !c.execute(error)) {
      run_sql(s, "ROLLBACK", ignored);
      message = "Error at line " + std::to_string(statement.line) + ":\n" + error.text;
      return false;
    }
    if (c.is_query()) {
      while (c.next_row(error) > 0) {
      }
    }
  }
  if (!run_sql(s, "COMMIT", error)) {
    message = error.text;
    return false;
  }
  return true;
}

}  // namespace ocl
