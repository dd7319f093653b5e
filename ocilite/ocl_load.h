#pragma once
// Statements of a schema script run on one session as an Oracle session runs
// them: the work stays uncommitted until COMMIT (or the end of the script),
// ROLLBACK undoes what was done since the last COMMIT or DDL (DDL commits in
// Oracle), and a failure can undo everything since the last COMMIT (ocilite's
// all-or-nothing load). INSERT ... VALUES statements of one shape are
// translated and prepared once and run again with their literals bound, which
// is what makes a script of a million single-row inserts load in seconds.
#include <sqlite3.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "ocilite/ocl_lex.h"
#include "ocilite/ocl_sess.h"

namespace ocl {

class script_runner {
 public:
  explicit script_runner(session& s);
  script_runner(const script_runner&) = delete;
  script_runner& operator=(const script_runner&) = delete;
  ~script_runner();  // finishes with rollback_all() unless finish() ran

  // One SQL statement without its ";". COMMIT, ROLLBACK [TO SAVEPOINT] and
  // SAVEPOINT are honoured here.
  bool execute(const std::string& sql, int line, oracle_error& error);
  // An anonymous PL/SQL block (BEGIN ... END; or DECLARE BEGIN ... END;).
  // Only blocks of INSERT, UPDATE, DELETE, COMMIT, ROLLBACK and NULL run;
  // anything else is refused with ORA-03001. A failing statement undoes the
  // block's work, as Oracle does for an unhandled exception; error_line is
  // the script line of the statement at fault.
  bool execute_block(const std::string& text, int line, oracle_error& error, int& error_line);

  bool commit(oracle_error& error);
  // Oracle's ROLLBACK: the work since the last COMMIT or DDL.
  void rollback();
  // Everything since the script's last COMMIT, DDL included.
  void rollback_all();
  // Commits and ends the transaction; the runner is finished after it.
  bool finish(oracle_error& error);

 private:
  bool run(const std::string& sql, const std::vector<token>& tokens, oracle_error& error);
  bool run_cached(const std::vector<token>& tokens, bool& handled);
  void remember(const std::string& sql, const std::vector<token>& tokens);
  void forget_shapes();
  void ddl_done();
  void mark_block();

  session& s_;
  bool open_ = false;
  bool in_block_ = false;
  std::vector<token> tokens_;
  std::string key_;
  // The literals of the statement at hand: s text, n number, d DATE, t TIMESTAMP.
  std::vector<std::pair<char, std::string>> literals_;
  // Prepared INSERTs by shape (the statement's tokens with its literals taken out).
  std::unordered_map<std::string, sqlite3_stmt*> shapes_;
};

// Runs a whole script held in memory (no @ files, no SPOOL) as the tool
// does; on failure answers false with "Error at line N:\nORA-nnnnn: ...".
bool run_script(session& s, const std::string& text, std::string& message);

}  // namespace ocl
