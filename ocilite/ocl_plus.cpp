#include "ocilite/ocl_plus.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>

#include "ocilite/ocl_load.h"

namespace ocl {

namespace {

std::string upper(std::string s) {
  for (char& c : s) c = (char)std::toupper((unsigned char)c);
  return s;
}

std::string trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace((unsigned char)s[b])) ++b;
  while (e > b && std::isspace((unsigned char)s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool name_char(char c) {
  return std::isalnum((unsigned char)c) || c == '_' || c == '$' || c == '#' || (unsigned char)c >= 0x80;
}

// The leading word of a line, upper-cased ("" when it starts with a symbol).
std::string first_word(const std::string& t) {
  size_t i = 0;
  while (i < t.size() && name_char(t[i])) ++i;
  return upper(t.substr(0, i));
}

// The text after the leading word, without the blanks after it.
std::string after_word(const std::string& t) {
  size_t i = 0;
  while (i < t.size() && name_char(t[i])) ++i;
  while (i < t.size() && std::isspace((unsigned char)t[i])) ++i;
  return t.substr(i);
}

// SQL*Plus lets a command be shortened down to its first `min` letters.
bool abbreviates(const std::string& word, const char* full, size_t min) {
  std::string f = full;
  return word.size() >= min && word.size() <= f.size() && f.compare(0, word.size(), word) == 0;
}

std::vector<std::string> words_of(const std::string& text) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && std::isspace((unsigned char)text[i])) ++i;
    if (i >= text.size()) break;
    std::string w;
    if (text[i] == '\'' || text[i] == '"') {
      char q = text[i++];
      while (i < text.size() && text[i] != q) w += text[i++];
      ++i;
    } else {
      while (i < text.size() && !std::isspace((unsigned char)text[i])) w += text[i++];
    }
    out.push_back(w);
  }
  return out;
}

std::string unquote(const std::string& v) {
  if (v.size() >= 2 && (v[0] == '\'' || v[0] == '"') && v.back() == v[0]) return v.substr(1, v.size() - 2);
  return v;
}

enum class command {
  remark, prompt, set, show, define, undefine, spool, whenever, exit, start, run, execute,
  accept, quiet, inert, connect
};

struct command_name {
  const char* full;
  size_t min;
  command what;
};

// Formatting and session commands that change nothing in the schema are
// accepted quietly; buffer editing and HOST are reported as not carried out.
const command_name commands[] = {
    {"REMARK", 3, command::remark},    {"PROMPT", 3, command::prompt},
    {"SET", 3, command::set},          {"SHOW", 3, command::show},
    {"DEFINE", 3, command::define},    {"UNDEFINE", 5, command::undefine},
    {"COLUMN", 3, command::quiet},     {"SPOOL", 3, command::spool},
    {"WHENEVER", 8, command::whenever}, {"EXIT", 4, command::exit},
    {"QUIT", 4, command::exit},        {"START", 3, command::start},
    {"RUN", 1, command::run},          {"EXECUTE", 4, command::execute},
    {"ACCEPT", 3, command::accept},    {"TTITLE", 3, command::quiet},
    {"BTITLE", 3, command::quiet},     {"REPHEADER", 4, command::quiet},
    {"REPFOOTER", 4, command::quiet},  {"BREAK", 3, command::quiet},
    {"COMPUTE", 4, command::quiet},    {"CLEAR", 2, command::quiet},
    {"PAUSE", 3, command::quiet},      {"TIMING", 4, command::quiet},
    {"VARIABLE", 3, command::quiet},   {"PRINT", 3, command::quiet},
    {"DESCRIBE", 4, command::quiet},   {"DISCONNECT", 4, command::quiet},
    {"ARCHIVE", 4, command::quiet},    {"RECOVER", 7, command::inert},
    {"HOST", 2, command::inert},       {"LIST", 1, command::inert},
    {"INPUT", 1, command::inert},      {"APPEND", 1, command::inert},
    {"CHANGE", 1, command::inert},     {"DEL", 3, command::inert},
    {"SAVE", 3, command::inert},       {"GET", 3, command::inert},
    {"EDIT", 2, command::inert},       {"STORE", 3, command::inert},
    {"PASSWORD", 4, command::inert},   {"STARTUP", 7, command::inert},
    {"SHUTDOWN", 8, command::inert},   {"CONNECT", 4, command::connect},
};

const command_name* find_command(const std::string& word, const std::string& line) {
  if (word.empty()) return nullptr;
  if (word == "SET") {
    // SET TRANSACTION, SET ROLE and SET CONSTRAINTS are SQL.
    std::string option = first_word(after_word(line));
    if (option == "TRANSACTION" || option == "ROLE" || option == "CONSTRAINT" || option == "CONSTRAINTS")
      return nullptr;
  }
  for (const command_name& c : commands)
    if (abbreviates(word, c.full, c.min)) return &c;
  return nullptr;
}

bool sql_word(const std::string& w) {
  static const char* words[] = {"SELECT", "INSERT", "UPDATE", "DELETE", "MERGE", "CREATE", "ALTER",
                                "DROP", "TRUNCATE", "GRANT", "REVOKE", "COMMIT", "ROLLBACK",
                                "SAVEPOINT", "COMMENT", "RENAME", "LOCK", "WITH", "EXPLAIN", "AUDIT",
                                "NOAUDIT", "ANALYZE", "CALL", "PURGE", "FLASHBACK", "ASSOCIATE",
                                "DISASSOCIATE", "SET"};
  for (const char* s : words)
    if (w == s) return true;
  return false;
}

// CREATE [OR REPLACE] [EDITIONABLE | NONEDITIONABLE] PROCEDURE / FUNCTION /
// PACKAGE / TRIGGER / TYPE / LIBRARY / JAVA: PL/SQL text, ended by a "/" line.
bool starts_plsql_unit(const std::string& text) {
  size_t b = text.find_first_not_of(" \t\r\n");
  if (b == std::string::npos || text.size() - b < 6 || upper(text.substr(b, 6)) != "CREATE") return false;
  std::vector<std::string> w;
  size_t i = 0;
  while (w.size() < 5 && i < text.size()) {
    while (i < text.size() && !name_char(text[i])) {
      if (!std::isspace((unsigned char)text[i])) return false;
      ++i;
    }
    size_t b = i;
    while (i < text.size() && name_char(text[i])) ++i;
    if (i > b) w.push_back(upper(text.substr(b, i - b)));
  }
  size_t k = 0;
  if (k >= w.size() || w[k++] != "CREATE") return false;
  if (k + 1 < w.size() && w[k] == "OR" && w[k + 1] == "REPLACE") k += 2;
  if (k < w.size() && (w[k] == "EDITIONABLE" || w[k] == "NONEDITIONABLE" || w[k] == "EDITIONING")) ++k;
  if (k >= w.size()) return false;
  const std::string& kind = w[k];
  return kind == "PROCEDURE" || kind == "FUNCTION" || kind == "PACKAGE" || kind == "TRIGGER" ||
         kind == "TYPE" || kind == "LIBRARY" || kind == "JAVA";
}

std::string folder_of(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// What WHENEVER SQLERROR / OSERROR asked for.
struct on_error {
  enum { stop, exit, go_on } action = stop;  // stop: ocilite's own default
  std::string code = "SUCCESS";  // as for EXIT without a code
  enum { none, commit, rollback } transaction = none;
};

class plus_run {
 public:
  plus_run(session& s, const plus_options& options) : s_(s), o_(options), runner_(s) {
    defines_["_USER"] = s.user;
  }

  int run(std::istream& in, const std::string& name) {
    source top{in, name, folder_of(name)};
    run_source(top, 0);
    if (!exiting_ || finish_) {
      oracle_error error;
      if (!runner_.finish(error)) {
        report(name + ": " + error.text);
        status_ = 1;
      }
    }
    return status_;
  }

 private:
  struct source {
    std::istream& in;
    std::string name;
    std::string folder;
    int line = 0;
  };
  // The statement being entered (SQL*Plus's buffer while it is typed).
  struct entry {
    enum kind_t { none, sql, plsql } kind = none;
    std::string text;
    int line = 0;
    bool significant = false;
    char quote = 0;  // the closing quote, or the closing delimiter of q'[...]'
    bool q_quote = false;
    int quote_line = 0;
    bool comment = false;
  };
  struct buffer {
    std::string text;
    bool plsql = false;
    int line = 0;
    std::string file;
  };

  void report(const std::string& message) {
    if (o_.err) *o_.err << message << "\n";
    if (spool_.is_open()) spool_ << message << "\n";
  }
  void print(const std::string& text) {
    if (o_.out && termout_) *o_.out << text << "\n";
    if (spool_.is_open()) spool_ << text << "\n";
  }

  // Stops the run: what the script did since its last COMMIT is undone.
  void fatal(const source& src, int line, const std::string& message) {
    report(src.name + ": Error at line " + std::to_string(line) + ":\n" + message);
    runner_.rollback_all();
    status_ = 1;
    exiting_ = true;
  }

  int exit_code(const std::string& code) {
    std::string c = upper(code);
    if (c == "SUCCESS") return 0;
    if (c == "FAILURE") return 1;
    if (c == "WARNING") return 2;
    if (c == "SQL.SQLCODE") return last_error_;
    std::string value = code;
    auto d = defines_.find(c);
    if (d != defines_.end()) value = d->second;
    char* end = nullptr;
    long n = std::strtol(value.c_str(), &end, 10);
    return end && *end == 0 && !value.empty() ? (int)n : 1;
  }

  void act(const on_error& how, bool os_error) {
    oracle_error ignored;
    if (how.action == on_error::stop) {
      runner_.rollback_all();
      status_ = 1;
      exiting_ = true;
      return;
    }
    if (how.transaction == on_error::rollback) runner_.rollback();
    else if (how.transaction == on_error::commit ||
             (how.action == on_error::exit && how.transaction == on_error::none))
      runner_.commit(ignored);
    if (how.action == on_error::exit) {
      status_ = os_error && upper(how.code) == "SQL.SQLCODE" ? 1 : exit_code(how.code);
      exiting_ = true;
      finish_ = true;
    }
  }

  void sql_failed(const std::string& file, int line, const oracle_error& error) {
    report(file + ": Error at line " + std::to_string(line) + ":\n" + error.text);
    last_error_ = error.number;
    act(sqlerror_, false);
  }

  void os_failed(const source& src, const std::string& message) {
    report(src.name + ": Error at line " + std::to_string(src.line) + ":\n" + message);
    act(oserror_, true);
  }

  // &name and &&name replaced by their DEFINEd values; false with the name
  // of the first one that is not defined.
  bool substitute(std::string& line, std::string& missing) {
    if (!define_on_ || line.find(define_char_) == std::string::npos) return true;
    std::string out;
    for (size_t i = 0; i < line.size(); ++i) {
      char c = line[i];
      if (c != define_char_) {
        out += c;
        continue;
      }
      if (escape_char_ && !out.empty() && out.back() == escape_char_) {
        out.back() = c;
        continue;
      }
      size_t j = i + 1;
      if (j < line.size() && line[j] == define_char_) ++j;
      size_t k = j;
      while (k < line.size() && name_char(line[k])) ++k;
      if (k == j) {  // "&" before a blank or a symbol is text
        out += line.substr(i, j - i);
        i = j - 1;
        continue;
      }
      std::string name = upper(line.substr(j, k - j));
      auto found = defines_.find(name);
      if (found == defines_.end()) {
        missing = line.substr(j, k - j);
        return false;
      }
      out += found->second;
      if (concat_on_ && k < line.size() && line[k] == concat_char_) ++k;
      i = k - 1;
    }
    line = out;
    return true;
  }

  bool substituted(source& src, std::string& line) {
    std::string missing;
    if (substitute(line, missing)) return true;
    fatal(src, src.line,
          "substitution variable \"" + std::string(1, define_char_) + missing +
              "\" is not defined. SQL*Plus would prompt \"Enter value for " + missing +
              ":\"; a script run cannot answer: DEFINE it before its use, or SET DEFINE OFF to keep \"" +
              std::string(1, define_char_) + "\" as text.");
    return false;
  }

  void run_source(source& src, int depth) {
    std::string raw;
    entry e;
    bool top_comment = false;
    while (!exiting_ && std::getline(src.in, raw)) {
      ++src.line;
      if (!raw.empty() && raw.back() == '\r') raw.pop_back();
      if (src.line == 1 && raw.rfind("\xEF\xBB\xBF", 0) == 0) raw.erase(0, 3);
      if (e.kind != entry::none) {
        if (!substituted(src, raw)) return;
        continue_entry(src, e, raw);
        continue;
      }
      std::string t = trim(raw);
      if (top_comment) {
        if (t.find("*/") != std::string::npos) top_comment = false;
        continue;
      }
      if (t.empty() || t.rfind("--", 0) == 0) continue;
      if (t.rfind("/*", 0) == 0) {
        top_comment = t.find("*/", 2) == std::string::npos;
        continue;
      }
      if (abbreviates(first_word(t), "REMARK", 3)) continue;
      if (!substituted(src, raw)) return;
      t = trim(raw);
      if (t == "/") {
        run_last(src);
        continue;
      }
      if (t == ".") continue;
      std::string word = first_word(t);
      const command_name* c = t[0] == '@' ? nullptr : find_command(word, t);
      if (t[0] == '@' || c) {
        // A "-" at the end of a SQL*Plus command line continues it.
        while (t.size() > 1 && t.back() == '-' && std::getline(src.in, raw)) {
          ++src.line;
          if (!raw.empty() && raw.back() == '\r') raw.pop_back();
          if (!substituted(src, raw)) return;
          t = trim(t.substr(0, t.size() - 1)) + " " + trim(raw);
        }
        if (t[0] == '@') start(src, t.substr(t.size() > 1 && t[1] == '@' ? 2 : 1), t[1] == '@', depth);
        else run_command(src, *c, t, depth);
        continue;
      }
      if (word == "BEGIN" || word == "DECLARE" || t.rfind("<<", 0) == 0) e.kind = entry::plsql;
      else if (sql_word(word) || t[0] == '(') e.kind = entry::sql;
      else {
        std::string shown = t.size() > 10 ? t.substr(0, 10) + "..." : t;
        report("SP2-0734: unknown command beginning \"" + shown + "\" - rest of line ignored.");
        continue;
      }
      feed(src, e, raw);
    }
    if (exiting_ || e.kind == entry::none) return;
    oracle_error error;
    int line = e.line;
    if (e.quote) {
      error = make_error(e.quote == '\'' ? 1756 : 1740);
      line = e.quote_line;
    } else if (e.kind == entry::plsql) {
      error = {933, "ORA-00933: SQL command not properly ended (missing \"/\" line after the PL/SQL text)"};
    } else {
      error = {933, "ORA-00933: SQL command not properly ended (missing \";\" at the end of the script)"};
    }
    sql_failed(src.name, line, error);
  }

  void continue_entry(source& src, entry& e, const std::string& line) {
    // PL/SQL text ends at its "/" line whatever quotes it seems to hold (q'[...]' literals).
    if ((!e.quote && !e.comment) || (e.kind == entry::plsql && trim(line) == "/")) {
      std::string t = trim(line);
      if (t == "/") {
        run_entry(src, e);
        e = entry();
        return;
      }
      bool blank_ends = t.empty() && e.kind == entry::sql && !sqlblanklines_;
      if (t == "." || blank_ends) {
        // The statement stays in the buffer, not run; a later "/" runs it.
        last_ = {e.text, e.kind == entry::plsql, e.line, src.name};
        e = entry();
        return;
      }
    }
    feed(src, e, line);
  }

  void feed(source& src, entry& e, const std::string& line) {
    const size_t n = line.size();
    for (size_t i = 0; i < n && !exiting_; ++i) {
      char c = line[i];
      if (e.comment) {
        e.text += c;
        if (c == '*' && i + 1 < n && line[i + 1] == '/') {
          e.text += '/';
          ++i;
          e.comment = false;
        }
        continue;
      }
      if (e.quote) {
        e.text += c;
        if (c == e.quote && (!e.q_quote || (i + 1 < n && line[i + 1] == '\''))) {
          if (e.q_quote) e.text += line[++i];
          e.quote = 0;
        }
        continue;
      }
      if (c == '-' && i + 1 < n && line[i + 1] == '-') {
        e.text.append(line, i, std::string::npos);
        break;
      }
      if (c == '/' && i + 1 < n && line[i + 1] == '*') {
        e.comment = true;
        e.text += "/*";
        ++i;
        continue;
      }
      if (c == ';' && e.kind == entry::sql) {
        if (!e.significant) {
          sql_failed(src.name, src.line, make_error(900));
          continue;
        }
        if (starts_plsql_unit(e.text)) {
          e.kind = entry::plsql;
          e.text += c;
          continue;
        }
        run_entry(src, e);
        e = entry();
        e.kind = entry::sql;
        continue;
      }
      if (!e.significant && !std::isspace((unsigned char)c)) {
        e.significant = true;
        e.line = src.line;
      }
      if (c == '\'' || c == '"') {
        e.quote = c;
        e.quote_line = src.line;
        // Q'[...]' (and N, NQ): the text ends at the delimiter's mate and a quote.
        size_t q = e.text.size();
        e.q_quote = c == '\'' && q > 0 && (e.text[q - 1] == 'q' || e.text[q - 1] == 'Q') &&
                    (q == 1 || !name_char(e.text[q - 2]) || e.text[q - 2] == 'n' || e.text[q - 2] == 'N') &&
                    i + 1 < n;
        if (e.q_quote) {
          char open = line[++i];
          e.text += c;
          c = open;
          e.quote = open == '[' ? ']' : open == '(' ? ')' : open == '{' ? '}' : open == '<' ? '>' : open;
        }
      }
      e.text += c;
    }
    e.text += '\n';
    if (e.kind == entry::sql && e.significant && starts_plsql_unit(e.text)) e.kind = entry::plsql;
    if (e.kind == entry::sql && !e.significant && !e.quote && !e.comment) e = entry();
  }

  void run_entry(source& src, const entry& e) {
    std::string text = e.text;
    while (!text.empty() && std::isspace((unsigned char)text.back())) text.pop_back();
    last_ = {text, e.kind == entry::plsql, e.line, src.name};
    run_buffer(last_);
  }

  void run_last(source& src) {
    if (last_.text.empty()) {
      report(src.name + ": SP2-0103: Nothing in SQL buffer to run.");
      return;
    }
    run_buffer(last_);
  }

  void run_buffer(const buffer& b) {
    oracle_error error;
    int line = b.line;
    std::string word = first_word(trim(b.text));
    bool block = b.plsql && (word == "BEGIN" || word == "DECLARE" || trim(b.text).rfind("<<", 0) == 0);
    bool ok = block ? runner_.execute_block(b.text, b.line, error, line) : runner_.execute(b.text, b.line, error);
    if (!ok) sql_failed(b.file, line, error);
    else if (autocommit_ && !runner_.commit(error)) sql_failed(b.file, line, error);
  }

  void start(source& src, const std::string& spec, bool from_caller, int depth) {
    std::vector<std::string> w = words_of(spec);
    if (w.empty()) {
      report(src.name + ": SP2-1506: START, @ or @@ command has no arguments");
      return;
    }
    if (!o_.files) {
      os_failed(src, "SP2-0310: unable to open file \"" + w[0] + "\"");
      return;
    }
    if (depth >= 20) {
      fatal(src, src.line, "SP2-0309: SQL*Plus command procedures may only be nested to a depth of 20.");
      return;
    }
    std::string path = w[0];
    if (from_caller && path[0] != '/') path = src.folder + "/" + path;
    size_t slash = path.rfind('/');
    if (path.find('.', slash == std::string::npos ? 0 : slash + 1) == std::string::npos) path += ".sql";
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      os_failed(src, "SP2-0310: unable to open file \"" + path + "\"");
      return;
    }
    for (size_t k = 1; k < w.size(); ++k) defines_[std::to_string(k)] = w[k];
    source inner{in, path, folder_of(path)};
    run_source(inner, depth + 1);
  }

  bool on_off(const std::string& v, bool& flag) {
    std::string u = upper(v);
    if (u == "ON") flag = true;
    else if (u == "OFF") flag = false;
    else return false;
    return true;
  }

  void set(source& src, const std::string& rest) {
    std::vector<std::string> w = words_of(rest);
    for (size_t i = 0; i < w.size(); i += 2) {
      std::string option = upper(w[i]);
      std::string value = i + 1 < w.size() ? w[i + 1] : "";
      bool good = true;
      if (abbreviates(option, "DEFINE", 3) || option == "SCAN") {
        std::string u = upper(value);
        if (u == "ON" || (value.size() == 1 && option != "SCAN")) {
          define_on_ = true;
          if (option != "SCAN") define_char_ = u == "ON" ? '&' : value[0];
        } else if (u == "OFF") {
          define_on_ = false;
        } else {
          good = false;
        }
      } else if (abbreviates(option, "SQLBLANKLINES", 5)) {
        good = on_off(value, sqlblanklines_);
      } else if (abbreviates(option, "TERMOUT", 4)) {
        good = on_off(value, termout_);
      } else if (abbreviates(option, "AUTOCOMMIT", 4)) {
        if (upper(value) == "IMMEDIATE") autocommit_ = true;
        else good = on_off(value, autocommit_);
      } else if (abbreviates(option, "EXITCOMMIT", 5)) {
        good = on_off(value, exitcommit_);
      } else if (abbreviates(option, "CONCAT", 3)) {
        if (!on_off(value, concat_on_)) {
          good = value.size() == 1;
          if (good) {
            concat_on_ = true;
            concat_char_ = value[0];
          }
        }
      } else if (abbreviates(option, "ESCAPE", 3)) {
        bool on = false;
        if (on_off(value, on)) escape_char_ = on ? '\\' : 0;
        else if (value.size() == 1) escape_char_ = value[0];
        else good = false;
      } else if (known_set_option(option)) {
        return;  // display settings: nothing to do, whatever their values
      } else {
        report(src.name + ": SP2-0158: unknown SET option beginning \"" + w[i] + "\"");
        return;
      }
      if (!good) {
        report(src.name + ": SET " + w[i] + ": \"" + value + "\" is not a valid value; the rest of the line is ignored");
        return;
      }
    }
  }

  static bool known_set_option(const std::string& o) {
    static const command_name options[] = {
        {"APPINFO", 4, {}},      {"ARRAYSIZE", 5, {}},   {"AUTOPRINT", 5, {}},   {"AUTORECOVERY", 7, {}},
        {"AUTOTRACE", 5, {}},    {"BLOCKTERMINATOR", 3, {}}, {"CMDSEP", 4, {}},   {"COLINVISIBLE", 5, {}},
        {"COLSEP", 6, {}},       {"COPYCOMMIT", 5, {}},  {"COPYTYPECHECK", 5, {}}, {"DESCRIBE", 4, {}},
        {"ECHO", 4, {}},         {"EDITFILE", 5, {}},    {"EMBEDDED", 3, {}},    {"ERRORLOGGING", 5, {}},
        {"FEEDBACK", 4, {}},     {"FLAGGER", 4, {}},     {"FLUSH", 3, {}},       {"HEADING", 3, {}},
        {"HEADSEP", 5, {}},      {"INSTANCE", 4, {}},    {"LINESIZE", 3, {}},    {"LOBOFFSET", 5, {}},
        {"LOBPREFETCH", 4, {}},  {"LOGSOURCE", 4, {}},   {"LONG", 4, {}},        {"LONGCHUNKSIZE", 5, {}},
        {"MARKUP", 4, {}},       {"NEWPAGE", 4, {}},     {"NULL", 4, {}},        {"NUMFORMAT", 4, {}},
        {"NUMWIDTH", 3, {}},     {"PAGESIZE", 5, {}},    {"PAUSE", 3, {}},       {"RECSEP", 4, {}},
        {"RECSEPCHAR", 10, {}},  {"ROWPREFETCH", 4, {}}, {"SECUREDCOL", 7, {}},  {"SERVEROUTPUT", 9, {}},
        {"SHIFTINOUT", 5, {}},   {"SHOWMODE", 4, {}},    {"SQLCASE", 4, {}},     {"SQLCONTINUE", 5, {}},
        {"SQLNUMBER", 4, {}},    {"SQLPLUSCOMPATIBILITY", 5, {}}, {"SQLPREFIX", 6, {}}, {"SQLPROMPT", 4, {}},
        {"SQLTERMINATOR", 4, {}}, {"STATEMENTCACHE", 4, {}}, {"SUFFIX", 3, {}},  {"TAB", 3, {}},
        {"TIME", 2, {}},         {"TIMING", 4, {}},      {"TRIMOUT", 4, {}},     {"TRIMSPOOL", 5, {}},
        {"UNDERLINE", 3, {}},    {"VERIFY", 3, {}},      {"WRAP", 3, {}},        {"XMLOPTIMIZATIONCHECK", 4, {}},
        {"XQUERY", 6, {}},       {"HISTORY", 4, {}},     {"LOGIN", 5, {}},       {"ENCODING", 8, {}},
    };
    for (const command_name& c : options)
      if (abbreviates(o, c.full, c.min)) return true;
    return false;
  }

  bool parse_whenever(const std::vector<std::string>& w, size_t i, on_error& how) {
    on_error h;
    if (i >= w.size()) return false;
    std::string a = upper(w[i++]);
    if (a == "EXIT") {
      h.action = on_error::exit;
      if (i < w.size() && upper(w[i]) != "COMMIT" && upper(w[i]) != "ROLLBACK") h.code = w[i++];
    } else if (abbreviates(a, "CONTINUE", 4)) {
      h.action = on_error::go_on;
    } else {
      return false;
    }
    if (i < w.size()) {
      std::string t = upper(w[i++]);
      if (t == "COMMIT") h.transaction = on_error::commit;
      else if (t == "ROLLBACK") h.transaction = on_error::rollback;
      else if (t == "NONE" && h.action == on_error::go_on) h.transaction = on_error::none;
      else return false;
    }
    if (i != w.size()) return false;
    how = h;
    return true;
  }

  void run_command(source& src, const command_name& c, const std::string& line, int depth) {
    // SQL*Plus takes "SET DEFINE OFF;" and "EXIT;" as people (and SQL Developer) write them.
    std::string t = line;
    if (c.what != command::prompt && c.what != command::remark && t.back() == ';') t = trim(t.substr(0, t.size() - 1));
    const std::string rest = after_word(t);
    std::vector<std::string> w = words_of(rest);
    switch (c.what) {
      case command::remark:
      case command::quiet:
        return;
      case command::inert:
        report(src.name + ": line " + std::to_string(src.line) + ": SQL*Plus command " + c.full +
               " not carried out by ocilite");
        return;
      case command::prompt:
        print(rest);
        return;
      case command::set:
        set(src, rest);
        return;
      case command::show: {
        std::string what = w.empty() ? "" : upper(w[0]);
        if (what == "USER") print("USER is \"" + s_.user + "\"");
        else if (abbreviates(what, "ERRORS", 3)) print("No errors.");
        return;
      }
      case command::define: {
        if (w.empty()) {
          for (const auto& d : defines_) print("DEFINE " + d.first + " = \"" + d.second + "\" (CHAR)");
          return;
        }
        size_t k = 0;
        while (k < rest.size() && name_char(rest[k])) ++k;
        std::string name = upper(rest.substr(0, k)), value = trim(rest.substr(k));
        if (value.empty()) {
          auto d = defines_.find(name);
          if (d == defines_.end()) print("SP2-0135: symbol " + rest.substr(0, k) + " is UNDEFINED");
          else print("DEFINE " + d->first + " = \"" + d->second + "\" (CHAR)");
        } else if (value[0] == '=' && !name.empty()) {
          defines_[name] = unquote(trim(value.substr(1)));
        } else {
          report(src.name + ": SP2-0136: DEFINE requires an equal sign (=)");
        }
        return;
      }
      case command::undefine:
        for (const std::string& name : w) defines_.erase(upper(name));
        return;
      case command::spool: {
        if (w.empty()) return;
        std::string u = upper(w[0]);
        if (u == "OFF" || u == "OUT") {
          spool_.close();
          return;
        }
        if (!o_.files) {
          report(src.name + ": SPOOL " + w[0] + " not carried out");
          return;
        }
        std::string path = w[0];
        size_t slash = path.rfind('/');
        if (path.find('.', slash == std::string::npos ? 0 : slash + 1) == std::string::npos) path += ".lst";
        bool append = w.size() > 1 && abbreviates(upper(w[1]), "APPEND", 3);
        spool_.close();
        spool_.clear();
        spool_.open(path, append ? std::ios::app : std::ios::trunc);
        if (!spool_) os_failed(src, "SP2-0606: Cannot create SPOOL file \"" + path + "\"");
        return;
      }
      case command::whenever: {
        std::string kind = w.empty() ? "" : upper(w[0]);
        on_error* target = kind == "SQLERROR" ? &sqlerror_ : kind == "OSERROR" ? &oserror_ : nullptr;
        if (!target || !parse_whenever(w, 1, *target))
          report(src.name + ": invalid WHENEVER command, ignored: " + t);
        return;
      }
      case command::exit: {
        size_t i = 0;
        std::string code = "SUCCESS";
        if (i < w.size() && upper(w[i]) != "COMMIT" && upper(w[i]) != "ROLLBACK") code = w[i++];
        bool commit = exitcommit_;
        if (i < w.size()) commit = upper(w[i]) == "COMMIT";
        if (!commit) runner_.rollback();
        status_ = exit_code(code);
        exiting_ = true;
        finish_ = true;
        return;
      }
      case command::start:
        start(src, rest, false, depth);
        return;
      case command::run:
        run_last(src);
        return;
      case command::execute: {
        std::string body = trim(rest);
        if (body.empty() || body.back() != ';') body += ';';
        buffer b{"BEGIN " + body + " END;", true, src.line, src.name};
        run_buffer(b);
        return;
      }
      case command::accept: {
        for (size_t i = 1; i + 1 < w.size(); ++i)
          if (abbreviates(upper(w[i]), "DEFAULT", 3)) {
            defines_[upper(w.empty() ? "" : w[0])] = w[i + 1];
            return;
          }
        fatal(src, src.line, "ACCEPT " + (w.empty() ? std::string() : w[0]) +
                                 " would wait for input, which a script run cannot give (DEFINE the value instead)");
        return;
      }
      case command::connect:
        fatal(src, src.line, "CONNECT is not carried out: ocilite runs a script as the one user it is given");
        return;
    }
  }

  session& s_;
  plus_options o_;
  script_runner runner_;
  std::map<std::string, std::string> defines_;
  bool define_on_ = true, concat_on_ = true, sqlblanklines_ = false, termout_ = true;
  bool autocommit_ = false, exitcommit_ = true;
  char define_char_ = '&', concat_char_ = '.', escape_char_ = 0;
  on_error sqlerror_, oserror_;
  std::ofstream spool_;
  buffer last_;
  int last_error_ = 0;
  int status_ = 0;
  bool exiting_ = false;  // EXIT, or a failure that ends the run
  bool finish_ = false;   // the run ends with a COMMIT (EXIT)
};

}  // namespace

int run_plus_file(session& s, const std::string& path, const plus_options& options) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (options.err) *options.err << "ocilite: cannot read " << path << "\n";
    return 1;
  }
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  plus_run run(s, options);
  return run.run(in, path);
}

int run_plus_text(session& s, const std::string& text, const std::string& name,
                  const plus_options& options) {
  std::istringstream in(text);
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  plus_run run(s, options);
  return run.run(in, name);
}

bool run_script(session& s, const std::string& text, std::string& message) {
  std::ostringstream out, err;
  plus_options options;
  options.out = &out;
  options.err = &err;
  options.files = false;
  int status = run_plus_text(s, text, "script", options);
  message = err.str();
  const std::string prefix = "script: ";
  if (message.rfind(prefix, 0) == 0) message.erase(0, prefix.size());
  while (!message.empty() && message.back() == '\n') message.pop_back();
  return status == 0;
}

}  // namespace ocl
