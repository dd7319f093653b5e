// ALTER TABLE, RENAME and COMMENT ON. SQLite cannot add a constraint to a
// table it has made, so a constraint added (or enabled) afterwards is kept
// by triggers that raise Oracle's errors, and a key by a unique index; each
// is checked against the rows already there first, as Oracle validates it.
#include <algorithm>
#include <functional>
#include <map>

#include "ocilite/ocl_ddli.h"
#include "ocilite/ocl_exec.h"
#include "ocilite/ocl_xlat.h"

namespace ocl::ddl {

namespace {

std::string trigger_name(const std::string& constraint, const std::string& what) {
  return sqlite_name("OCILITE$K$" + constraint + "$" + what);
}

std::string raise(const oracle_error& e) { return "SELECT RAISE(ABORT, " + quote(e.text) + ")"; }

// "a = NEW.b AND ..." over two column lists.
std::string pairs(const std::string& left, const std::vector<std::string>& l, const std::string& right,
                  const std::vector<std::string>& r) {
  std::string out;
  for (size_t k = 0; k < l.size() && k < r.size(); ++k)
    out += (k ? " AND " : "") + left + sqlite_name(l[k]) + " = " + right + sqlite_name(r[k]);
  return out;
}

std::string all_not_null(const std::string& prefix, const std::vector<std::string>& cols) {
  std::string out;
  for (size_t k = 0; k < cols.size(); ++k) out += (k ? " AND " : "") + prefix + sqlite_name(cols[k]) + " IS NOT NULL";
  return out;
}

// A CHECK condition over the row being written: its columns as NEW.column.
bool row_condition(session& s, const std::string& table, const std::string& text, const std::string& prefix,
                   std::string& out, oracle_error& error) {
  std::vector<token> t;
  if (!tokenize(text, t, error)) return false;
  std::set<std::string> columns;
  for (const auto& c : table_columns(s, table)) columns.insert(c.first);
  std::string rewritten;
  size_t copied = 0;
  for (size_t i = 0; i < t.size(); ++i) {
    if (!is_name(t[i]) || !columns.count(t[i].text) || (i > 0 && t[i - 1].is(".")) ||
        (i + 1 < t.size() && (t[i + 1].is("(") || t[i + 1].is("."))))
      continue;
    rewritten += text.substr(copied, t[i].begin - copied) + prefix;
    copied = t[i].begin;
  }
  rewritten += text.substr(copied);
  std::vector<token> r;
  if (!tokenize(rewritten, r, error)) return false;
  return translate(rewritten, r, 0, r.size(), out, error);
}

bool has_rows(session& s, const std::string& sql) {
  sqlite3_stmt* st = nullptr;
  bool found = false;
  if (sqlite3_prepare_v2(s.db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) found = sqlite3_step(st) == SQLITE_ROW;
  sqlite3_finalize(st);
  return found;
}

bool not_null_check(const constraint_def& c) {
  return c.type == 'C' && c.columns.size() == 1 && c.check_text == "\"" + c.columns[0] + "\" IS NOT NULL";
}

}  // namespace

bool enforce_constraint(session& s, const std::string& table, const constraint_def& c,
                        const std::string& index_name, bool validate, std::string& sql,
                        oracle_error& error) {
  const std::string tab = sqlite_name(table), who = s.user + "." + c.name;
  std::string own_index = "NULL";
  if (c.type == 'P' || c.type == 'U') {
    if (c.type == 'P') {
      std::string nulls;
      for (const auto& col : c.columns) nulls += (nulls.empty() ? "" : " OR ") + sqlite_name(col) + " IS NULL";
      if (has_rows(s, "SELECT 1 FROM " + tab + " WHERE " + nulls)) {
        error = make_error(1449);
        return false;
      }
    }
    if (validate && has_rows(s, "SELECT 1 FROM " + tab + " WHERE " + all_not_null("", c.columns) + " GROUP BY " +
                                    names_sql(c.columns) + " HAVING count(*) > 1")) {
      error = make_error(c.type == 'P' ? 2437 : 2299, who);
      return false;
    }
    bool existing = !index_name.empty() &&
                    exists(s, "SELECT 1 FROM \"OCILITE$INDEXES\" WHERE INDEX_NAME = ?1", index_name);
    bool reused_unique = existing &&
                         exists(s, "SELECT 1 FROM \"OCILITE$INDEXES\" WHERE INDEX_NAME = ?1 AND UNIQUENESS = 'UNIQUE'",
                                index_name) &&
                         [&] {
                           std::vector<std::string> cols;
                           sqlite3_stmt* st = nullptr;
                           sqlite3_prepare_v2(s.db, "SELECT COLUMN_NAME FROM \"OCILITE$IND_COLUMNS\" WHERE INDEX_NAME = ?1"
                                              " ORDER BY COLUMN_POSITION", -1, &st, nullptr);
                           sqlite3_bind_text(st, 1, index_name.c_str(), -1, SQLITE_TRANSIENT);
                           while (sqlite3_step(st) == SQLITE_ROW)
                             cols.push_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
                           sqlite3_finalize(st);
                           return cols == c.columns;
                         }();
    if (!reused_unique) {
      // The key's own index carries its name, as Oracle makes it; an existing
      // index the key uses instead is backed by a unique one of ocilite's.
      std::string name = existing ? "OCILITE$KEY$" + c.name : c.name;
      own_index = quote(name);
      sql += "CREATE UNIQUE INDEX " + sqlite_name(name) + " ON " + tab + "(" + names_sql(c.columns) + ");";
      if (name == c.name) {
        bool generated = exists(s, "SELECT 1 FROM \"OCILITE$CONSTRAINTS\" WHERE CONSTRAINT_NAME = ?1 AND"
                                   " GENERATED = 'GENERATED NAME'", c.name);
        sql += "INSERT INTO \"OCILITE$INDEXES\" VALUES(" + quote(c.name) + ",'NORMAL'," + quote(table) +
               ",'TABLE','UNIQUE','" + (generated ? "Y" : "N") + "');";
        auto cols = table_columns(s, table);
        for (size_t k = 0; k < c.columns.size(); ++k) {
          otype t;
          for (const auto& col : cols)
            if (col.first == c.columns[k]) t = col.second;
          sql += "INSERT INTO \"OCILITE$IND_COLUMNS\" VALUES(" + quote(c.name) + "," + quote(table) + "," +
                 quote(c.columns[k]) + "," + std::to_string(k + 1) + "," + std::to_string(t.data_length()) + "," +
                 std::to_string(t.char_length()) + ",'ASC');";
        }
      }
    }
    if (c.type == 'P') {
      for (const auto& col : c.columns) {
        std::string where = "\"" + s.user + "\".\"" + table + "\".\"" + col + "\"";
        sql += "CREATE TRIGGER " + trigger_name(c.name, "NI$" + col) + " BEFORE INSERT ON " + tab + " WHEN NEW." +
               sqlite_name(col) + " IS NULL BEGIN " + raise(make_error(1400, where)) + "; END;";
        sql += "CREATE TRIGGER " + trigger_name(c.name, "NU$" + col) + " BEFORE UPDATE OF " + sqlite_name(col) +
               " ON " + tab + " WHEN NEW." + sqlite_name(col) + " IS NULL BEGIN " + raise(make_error(1407, where)) +
               "; END;";
        sql += "UPDATE \"OCILITE$COLUMNS\" SET NULLABLE = 'N' WHERE TABLE_NAME = " + quote(table) +
               " AND COLUMN_NAME = " + quote(col) + ";";
      }
    }
  } else if (not_null_check(c)) {
    const std::string& col = c.columns[0];
    if (has_rows(s, "SELECT 1 FROM " + tab + " WHERE " + sqlite_name(col) + " IS NULL")) {
      error = make_error(2296, who);
      return false;
    }
    std::string where = "\"" + s.user + "\".\"" + table + "\".\"" + col + "\"";
    sql += "CREATE TRIGGER " + trigger_name(c.name, "NI") + " BEFORE INSERT ON " + tab + " WHEN NEW." +
           sqlite_name(col) + " IS NULL BEGIN " + raise(make_error(1400, where)) + "; END;";
    sql += "CREATE TRIGGER " + trigger_name(c.name, "NU") + " BEFORE UPDATE OF " + sqlite_name(col) + " ON " + tab +
           " WHEN NEW." + sqlite_name(col) + " IS NULL BEGIN " + raise(make_error(1407, where)) + "; END;";
    sql += "UPDATE \"OCILITE$COLUMNS\" SET NULLABLE = 'N' WHERE TABLE_NAME = " + quote(table) +
           " AND COLUMN_NAME = " + quote(col) + ";";
  } else if (c.type == 'C') {
    std::string on_row, on_table;
    if (!row_condition(s, table, c.check_text, "NEW.", on_row, error) ||
        !row_condition(s, table, c.check_text, "", on_table, error))
      return false;
    if (validate && has_rows(s, "SELECT 1 FROM " + tab + " WHERE NOT (" + on_table + ")")) {
      error = make_error(2293, who);
      return false;
    }
    for (const char* event : {"INSERT", "UPDATE"})
      sql += "CREATE TRIGGER " + trigger_name(c.name, event) + " BEFORE " + event + " ON " + tab + " WHEN NOT (" +
             on_row + ") BEGIN " + raise(make_error(2290, who)) + "; END;";
  } else if (c.type == 'R') {
    const std::string parent = sqlite_name(c.ref_table);
    if (validate && has_rows(s, "SELECT 1 FROM " + tab + " c WHERE " + all_not_null("c.", c.columns) +
                                    " AND NOT EXISTS (SELECT 1 FROM " + parent + " p WHERE " +
                                    pairs("p.", c.ref_columns, "c.", c.columns) + ")")) {
      error = make_error(2298, who);
      return false;
    }
    std::string orphan = all_not_null("NEW.", c.columns) + " AND NOT EXISTS (SELECT 1 FROM " + parent + " WHERE " +
                         pairs("", c.ref_columns, "NEW.", c.columns) + ")";
    sql += "CREATE TRIGGER " + trigger_name(c.name, "CI") + " BEFORE INSERT ON " + tab + " WHEN " + orphan +
           " BEGIN " + raise(make_error(2291, who)) + "; END;";
    sql += "CREATE TRIGGER " + trigger_name(c.name, "CU") + " BEFORE UPDATE OF " + names_sql(c.columns) + " ON " +
           tab + " WHEN " + orphan + " BEGIN " + raise(make_error(2291, who)) + "; END;";
    std::string children = "EXISTS (SELECT 1 FROM " + tab + " WHERE " + pairs("", c.columns, "OLD.", c.ref_columns) + ")";
    std::string match = pairs("", c.columns, "OLD.", c.ref_columns);
    if (c.delete_rule == "CASCADE") {
      sql += "CREATE TRIGGER " + trigger_name(c.name, "PD") + " AFTER DELETE ON " + parent + " BEGIN DELETE FROM " +
             tab + " WHERE " + match + "; END;";
    } else if (c.delete_rule == "SET NULL") {
      std::string set;
      for (const auto& col : c.columns) set += (set.empty() ? "" : ", ") + sqlite_name(col) + " = NULL";
      sql += "CREATE TRIGGER " + trigger_name(c.name, "PD") + " AFTER DELETE ON " + parent + " BEGIN UPDATE " + tab +
             " SET " + set + " WHERE " + match + "; END;";
    } else {
      sql += "CREATE TRIGGER " + trigger_name(c.name, "PD") + " BEFORE DELETE ON " + parent + " WHEN " + children +
             " BEGIN " + raise(make_error(2292, who)) + "; END;";
    }
    std::string changed;
    for (const auto& col : c.ref_columns)
      changed += (changed.empty() ? "" : " OR ") + std::string("OLD.") + sqlite_name(col) + " IS NOT NEW." + sqlite_name(col);
    sql += "CREATE TRIGGER " + trigger_name(c.name, "PU") + " BEFORE UPDATE OF " + names_sql(c.ref_columns) + " ON " +
           parent + " WHEN (" + changed + ") AND " + children + " BEGIN " + raise(make_error(2292, who)) + "; END;";
  }
  sql += "INSERT INTO \"OCILITE$ENFORCED\" VALUES(" + quote(c.name) + "," + own_index + ");";
  return true;
}

std::string unenforce_constraint(session& s, const std::string& name) {
  std::string sql;
  const std::string prefix = sqlite_identifier("OCILITE$K$" + name + "$");
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(s.db, "SELECT name FROM sqlite_master WHERE type = 'trigger' AND substr(name, 1, length(?1)) = ?1",
                         -1, &st, nullptr) == SQLITE_OK) {
    sqlite3_bind_text(st, 1, prefix.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(st) == SQLITE_ROW)
      sql += "DROP TRIGGER \"" + std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) + "\";";
  }
  sqlite3_finalize(st);
  std::string own = lookup(s, "SELECT OWN_INDEX FROM \"OCILITE$ENFORCED\" WHERE CONSTRAINT_NAME = ?1", name);
  if (!own.empty()) {
    sql += "DROP INDEX " + sqlite_name(own) + ";";
    if (own == name)
      sql += "DELETE FROM \"OCILITE$INDEXES\" WHERE INDEX_NAME = " + quote(own) +
             ";DELETE FROM \"OCILITE$IND_COLUMNS\" WHERE INDEX_NAME = " + quote(own) + ";";
  }
  return sql + "DELETE FROM \"OCILITE$ENFORCED\" WHERE CONSTRAINT_NAME = " + quote(name) + ";";
}

namespace {

// The constraint as the catalog describes it.
bool load_constraint(session& s, const std::string& name, std::string& table, constraint_def& c) {
  sqlite3_stmt* st = nullptr;
  bool found = false;
  if (sqlite3_prepare_v2(s.db,
                         "SELECT TABLE_NAME, CONSTRAINT_TYPE, SEARCH_CONDITION, R_CONSTRAINT_NAME, DELETE_RULE,"
                         " INDEX_NAME, \"DEFERRABLE\", DEFERRED FROM \"OCILITE$CONSTRAINTS\" WHERE CONSTRAINT_NAME = ?1",
                         -1, &st, nullptr) == SQLITE_OK) {
    sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(st) == SQLITE_ROW) {
      auto text = [&](int i) {
        const unsigned char* v = sqlite3_column_text(st, i);
        return v ? std::string(reinterpret_cast<const char*>(v)) : std::string();
      };
      found = true;
      table = text(0);
      c.name = name;
      c.type = text(1)[0];
      c.check_text = text(2);
      std::string r = text(3);
      if (!text(4).empty()) c.delete_rule = text(4);
      c.using_index = text(5);
      c.deferrable = text(6) == "DEFERRABLE";
      c.deferred = text(7) == "DEFERRED";
      c.columns = key_columns(s, name);
      if (c.type == 'C' && c.columns.empty()) {
        sqlite3_stmt* k = nullptr;
        sqlite3_prepare_v2(s.db, "SELECT COLUMN_NAME FROM \"OCILITE$CONS_COLUMNS\" WHERE CONSTRAINT_NAME = ?1", -1, &k, nullptr);
        sqlite3_bind_text(k, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(k) == SQLITE_ROW) c.columns.push_back(reinterpret_cast<const char*>(sqlite3_column_text(k, 0)));
        sqlite3_finalize(k);
      }
      if (c.type == 'R') {
        c.ref_columns = key_columns(s, r);
        c.ref_table = lookup(s, "SELECT TABLE_NAME FROM \"OCILITE$CONSTRAINTS\" WHERE CONSTRAINT_NAME = ?1", r);
      }
    }
  }
  sqlite3_finalize(st);
  return found;
}

// The parts of `text` between `separator`s that stand outside parentheses
// and quotes, in order.
std::vector<std::string> split_top_level(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string current;
  int depth = 0;
  char quote_char = 0;
  for (char c : text) {
    if (quote_char) {
      if (c == quote_char) quote_char = 0;
    } else if (c == '\'' || c == '"') {
      quote_char = c;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (c == separator && depth == 0) {
      parts.push_back(current);
      current.clear();
      continue;
    }
    current += c;
  }
  parts.push_back(current);
  return parts;
}

// SQLite keeps a table's definition as the text of its CREATE TABLE. A
// change that leaves the stored rows as they are (a column's declared type,
// default or NOT NULL, a CHECK or foreign key dropped) is made in that text:
// its items (columns, table constraints) are edited and the text written back.
std::vector<std::string> split_items(const std::string& body) {
  std::vector<std::string> items = split_top_level(body, ',');
  for (auto& item : items) {
    size_t a = item.find_first_not_of(' '), b = item.find_last_not_of(' ');
    item = a == std::string::npos ? std::string() : item.substr(a, b - a + 1);
  }
  return items;
}

// The words of an item at depth 0 ("NUMBER(10,2)" and "(expr)" are one word each).
std::vector<std::string> item_words(const std::string& item) {
  std::vector<std::string> words;
  for (std::string& word : split_top_level(item, ' '))
    if (!word.empty()) words.push_back(std::move(word));
  return words;
}

bool edit_table_sql(session& s, const std::string& table,
                    const std::function<bool(std::vector<std::string>&, oracle_error&)>& edit, oracle_error& error) {
  std::string sql = lookup(s, "SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?1", sqlite_identifier(table));
  size_t open = sql.find('('), close = sql.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) {
    error = make_error(3001);
    return false;
  }
  std::vector<std::string> items = split_items(sql.substr(open + 1, close - open - 1));
  if (!edit(items, error)) return false;
  std::string body;
  for (const auto& item : items)
    if (!item.empty()) body += (body.empty() ? "" : ", ") + item;
  std::string version = lookup(s, "SELECT schema_version FROM pragma_schema_version", "");
  long next = std::atol(version.c_str()) + 1;
  return apply(s, "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = " +
                      quote(sql.substr(0, open + 1) + body + sql.substr(close)) + " WHERE type = 'table' AND name = " +
                      quote(sqlite_identifier(table)) + "; PRAGMA writable_schema = OFF; PRAGMA schema_version = " +
                      std::to_string(next) + ";",
               error);
}

// A column's item parsed: its declared type, SQLite NOT NULL, default, and
// what else it carries (inline constraints other than ocilite's own checks).
struct column_item {
  std::string declared, default_sql, rest;
  bool not_null = false;
};

bool parse_column_item(const std::string& item, const std::string& column, column_item& out,
                       bool drop_own_checks = false) {
  auto words = item_words(item);
  if (words.empty() || words[0] != sqlite_name(column)) return false;
  static const std::set<std::string> stops = {"NOT", "DEFAULT", "CONSTRAINT", "PRIMARY", "UNIQUE", "CHECK",
                                              "REFERENCES", "COLLATE", "NULL"};
  size_t i = 1;
  for (; i < words.size() && !stops.count(words[i]); ++i) out.declared += (out.declared.empty() ? "" : " ") + words[i];
  while (i < words.size()) {
    if (words[i] == "NOT" && i + 1 < words.size() && words[i + 1] == "NULL") {
      out.not_null = true;
      i += 2;
    } else if (words[i] == "DEFAULT" && i + 1 < words.size()) {
      out.default_sql = words[i + 1];
      i += 2;
    } else if (drop_own_checks && words[i] == "CONSTRAINT" && i + 3 < words.size() &&
               words[i + 1].rfind("\"OCILITE$", 0) == 0 && words[i + 2] == "CHECK") {
      i += 4;  // written again as table constraints
    } else {
      out.rest += " " + words[i++];
    }
  }
  return true;
}

std::string column_item_text(const std::string& column, const column_item& c) {
  return sqlite_name(column) + " " + c.declared + (c.not_null ? " NOT NULL" : "") +
         (c.default_sql.empty() ? "" : " DEFAULT " + c.default_sql) + c.rest;
}

// ocilite's own checks of a column of type t, as table constraints.
std::vector<std::string> own_checks(const std::string& column, const otype& t) {
  std::vector<std::string> out;
  std::string c = sqlite_name(column);
  if (t.is_character() || t.kind == okind::raw) {
    bool bytes = !t.char_semantics || t.kind == okind::raw;
    out.push_back("CONSTRAINT " + sqlite_name("OCILITE$LENGTH$" + column) + " CHECK (" +
                  (bytes ? "length(CAST(" + c + " AS BLOB))" : "length(" + c + ")") + " <= " +
                  std::to_string(bytes ? t.data_length() : t.length) + ")");
  }
  if (t.is_numeric())
    out.push_back("CONSTRAINT " + sqlite_name("OCILITE$NUMBER$" + column) + " CHECK (typeof(" + c +
                  ") NOT IN ('text','blob'))");
  if (t.kind == okind::number && t.precision > 0)
    out.push_back("CONSTRAINT " + sqlite_name("OCILITE$PRECISION$" + column) + " CHECK (typeof(" + c +
                  ") NOT IN ('integer','real') OR abs(ROUND(" + c + ", " + std::to_string(t.scale) + ")) < 1e" +
                  std::to_string(t.precision - t.scale) + ")");
  return out;
}

bool is_own_check_of(const std::string& item, const std::string& column) {
  for (const char* kind : {"LENGTH", "NUMBER", "PRECISION"})
    if (item.rfind("CONSTRAINT " + sqlite_name(std::string("OCILITE$") + kind + "$" + column) + " ", 0) == 0) return true;
  return false;
}

std::string value_triggers(const std::string& table, const std::string& column, const otype& t);

bool enforced_by_triggers(session& s, const std::string& name) {
  return exists(s, "SELECT 1 FROM \"OCILITE$ENFORCED\" WHERE CONSTRAINT_NAME = ?1", name);
}

// An existing index whose leading columns are the key's: Oracle uses it for the key.
std::string usable_index(session& s, const std::string& table, const std::vector<std::string>& cols) {
  sqlite3_stmt* st = nullptr;
  std::string found;
  std::string wanted;
  for (const auto& c : cols) wanted += c + ",";
  if (sqlite3_prepare_v2(s.db,
                         "SELECT INDEX_NAME, group_concat(COLUMN_NAME || ',', '') FROM (SELECT * FROM"
                         " \"OCILITE$IND_COLUMNS\" WHERE TABLE_NAME = ?1 ORDER BY INDEX_NAME, COLUMN_POSITION)"
                         " GROUP BY INDEX_NAME",
                         -1, &st, nullptr) == SQLITE_OK) {
    sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(st) == SQLITE_ROW && found.empty()) {
      std::string list = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
      if (list.rfind(wanted, 0) == 0) found = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    }
  }
  sqlite3_finalize(st);
  return found;
}

bool add_constraint(session& s, const std::string& table, constraint_def c, oracle_error& error) {
  auto cols = table_columns(s, table);
  for (const auto& name : c.columns)
    if (std::none_of(cols.begin(), cols.end(), [&](const auto& col) { return col.first == name; })) {
      error = make_error(904, "\"" + name + "\"");
      return false;
    }
  if (c.type == 'C' && c.columns.empty()) {
    // The columns a condition names, as USER_CONS_COLUMNS lists them.
    std::vector<token> t;
    if (tokenize(c.check_text, t, error))
      for (const auto& k : t)
        for (const auto& col : cols)
          if (is_name(k) && k.text == col.first &&
              std::find(c.columns.begin(), c.columns.end(), col.first) == c.columns.end())
            c.columns.push_back(col.first);
  }
  if (c.type == 'P' && exists(s, "SELECT 1 FROM \"OCILITE$CONSTRAINTS\" WHERE TABLE_NAME = ?1 AND CONSTRAINT_TYPE = 'P'",
                              table)) {
    error = make_error(2260);
    return false;
  }
  if ((c.type == 'P' || c.type == 'U') && !find_key(s, table, c.columns).empty()) {
    error = make_error(2261);
    return false;
  }
  std::string r_constraint;
  if (c.type == 'R') {
    if (!table_exists(s, c.ref_table)) {
      error = make_error(942);
      return false;
    }
    r_constraint = find_key(s, c.ref_table, c.ref_columns);
    if (r_constraint.empty()) {
      error = make_error(2270);
      return false;
    }
    if (c.ref_columns.empty()) c.ref_columns = key_columns(s, r_constraint);
    if (c.ref_columns.size() != c.columns.size()) {
      error = make_error(2256);
      return false;
    }
  }
  bool generated = c.name.empty();
  if (generated) c.name = s.next_constraint_name();
  if (exists(s, "SELECT 1 FROM \"OCILITE$CONSTRAINTS\" WHERE CONSTRAINT_NAME = ?1", c.name)) {
    error = make_error(2264);
    return false;
  }
  std::string index;
  if (c.enabled && (c.type == 'P' || c.type == 'U')) {
    index = c.using_index.empty() ? usable_index(s, table, c.columns) : c.using_index;
    if (index.empty()) index = c.name;
  }
  std::string sql = constraint_catalog(s, table, c, r_constraint, generated, index);
  if (c.enabled) {
    std::string enforce;
    if (!apply(s, sql, error)) return false;  // the catalog row first: the index reads its GENERATED
    if (!enforce_constraint(s, table, c, index, c.validate, enforce, error)) {
      oracle_error ignored;
      run_sql(s, "DELETE FROM \"OCILITE$CONSTRAINTS\" WHERE CONSTRAINT_NAME = " + quote(c.name) +
                     ";DELETE FROM \"OCILITE$CONS_COLUMNS\" WHERE CONSTRAINT_NAME = " + quote(c.name) + ";",
              ignored);
      return false;
    }
    if (apply(s, enforce, error)) return true;
    oracle_error ignored;
    run_sql(s, "DELETE FROM \"OCILITE$CONSTRAINTS\" WHERE CONSTRAINT_NAME = " + quote(c.name) +
                   ";DELETE FROM \"OCILITE$CONS_COLUMNS\" WHERE CONSTRAINT_NAME = " + quote(c.name) + ";",
            ignored);
    return false;
  }
  return apply(s, sql, error);
}

bool set_state(session& s, const std::string& table, const std::string& name, bool enable, bool validate,
               bool drop, oracle_error& error) {
  constraint_def c;
  std::string owner_table;
  if (!load_constraint(s, name, owner_table, c) || owner_table != table) {
    error = make_error(2443);
    return false;
  }
  bool by_triggers = enforced_by_triggers(s, name);
  bool enabled = lookup(s, "SELECT STATUS FROM \"OCILITE$CONSTRAINTS\" WHERE CONSTRAINT_NAME = ?1", name) == "ENABLED";
  bool in_key = false;
  if (not_null_check(c))
    in_key = exists(s, "SELECT 1 FROM \"OCILITE$CONSTRAINTS\" k JOIN \"OCILITE$CONS_COLUMNS\" n ON n.CONSTRAINT_NAME ="
                       " k.CONSTRAINT_NAME WHERE k.TABLE_NAME = ?1 AND k.CONSTRAINT_TYPE = 'P' AND k.STATUS = 'ENABLED'"
                       " AND n.COLUMN_NAME = ?2", table, c.columns[0]);
  if (enabled && !by_triggers && (drop || !enable)) {
    // Kept by the SQLite table's own definition: taken out of its text. A
    // key's index is part of the stored table, which that cannot change.
    if (c.type == 'P' || c.type == 'U') {
      error = make_error(3001);
      return false;
    }
    bool edited = edit_table_sql(s, table, [&](std::vector<std::string>& items, oracle_error&) {
      for (auto& item : items) {
        if (not_null_check(c)) {
          column_item col;
          if (!in_key && parse_column_item(item, c.columns[0], col)) {
            col.not_null = false;
            item = column_item_text(c.columns[0], col);
          }
        } else if (c.type == 'C') {
          if (item.rfind("CONSTRAINT " + sqlite_name(name) + " CHECK", 0) == 0) item.clear();
        } else if (item.rfind("FOREIGN KEY(" + names_sql(c.columns) + ") REFERENCES ", 0) == 0) {
          item.clear();
        }
      }
      return true;
    }, error);
    if (!edited) return false;
  }
  if (not_null_check(c) && (drop || !enable) && !in_key &&
      !apply(s, "UPDATE \"OCILITE$COLUMNS\" SET NULLABLE = 'Y' WHERE TABLE_NAME = " + quote(table) +
                    " AND COLUMN_NAME = " + quote(c.columns[0]) + ";", error))
    return false;
  if (drop && (c.type == 'P' || c.type == 'U') &&
      exists(s, "SELECT 1 FROM \"OCILITE$CONSTRAINTS\" WHERE R_CONSTRAINT_NAME = ?1", name)) {
    error = make_error(2273);
    return false;
  }
  std::string q = quote(name), sql;
  if (enabled && by_triggers) sql += unenforce_constraint(s, name);
  if (drop) {
    sql += "DELETE FROM \"OCILITE$CONSTRAINTS\" WHERE CONSTRAINT_NAME = " + q +
           ";DELETE FROM \"OCILITE$CONS_COLUMNS\" WHERE CONSTRAINT_NAME = " + q + ";";
  } else if (!enable) {
    sql += "UPDATE \"OCILITE$CONSTRAINTS\" SET STATUS = 'DISABLED', VALIDATED = 'NOT VALIDATED',"
           " INDEX_NAME = NULL WHERE CONSTRAINT_NAME = " + q + ";";
  } else {
    if (enabled) return true;
    std::string index;
    if (c.type == 'P' || c.type == 'U') {
      index = usable_index(s, table, c.columns);
      if (index.empty()) index = name;
    }
    if (!enforce_constraint(s, table, c, index, validate, sql, error)) return false;
    sql += "UPDATE \"OCILITE$CONSTRAINTS\" SET STATUS = 'ENABLED', VALIDATED = '" +
           std::string(validate ? "VALIDATED" : "NOT VALIDATED") + "', INDEX_NAME = " +
           (index.empty() ? "NULL" : quote(index)) + " WHERE CONSTRAINT_NAME = " + q + ";";
  }
  return apply(s, sql, error);
}

bool add_column(session& s, const std::string& table, parser& p, oracle_error& error) {
  column_def col;
  std::vector<constraint_def> constraints;
  if (!p.name(col.name, error)) return false;
  if (!parse_column(p, col, constraints, false, error)) return false;
  auto cols = table_columns(s, table);
  for (const auto& c : cols)
    if (c.first == col.name) {
      error = make_error(1430);
      return false;
    }
  if (!col.identity.empty() || col.default_on_null) {
    error = make_error(3001);
    return false;
  }
  const otype& t = col.type;
  std::string c = sqlite_name(col.name);
  std::string def = c + " " + t.declared();
  // SQLite adds a column with a constant default only.
  if (!col.default_sqlite.empty()) {
    std::vector<token> d;
    tokenize(col.default_text, d, error);
    bool constant = d.size() == 1 && (d[0].kind == token_kind::string || d[0].kind == token_kind::number);
    bool negative = d.size() == 2 && d[0].is("-") && d[1].kind == token_kind::number;
    if (constant || negative) def += " DEFAULT " + col.default_sqlite;
  }
  if (t.is_character() || t.kind == okind::raw) {
    bool bytes = !t.char_semantics || t.kind == okind::raw;
    def += " CONSTRAINT " + sqlite_name("OCILITE$LENGTH$" + col.name) + " CHECK (" +
           (bytes ? "length(CAST(" + c + " AS BLOB))" : "length(" + c + ")") + " <= " +
           std::to_string(bytes ? t.data_length() : t.length) + ")";
  }
  if (t.is_numeric())
    def += " CONSTRAINT " + sqlite_name("OCILITE$NUMBER$" + col.name) + " CHECK (typeof(" + c +
           ") NOT IN ('text','blob'))";
  if (t.kind == okind::number && t.precision > 0)
    def += " CONSTRAINT " + sqlite_name("OCILITE$PRECISION$" + col.name) + " CHECK (typeof(" + c +
           ") NOT IN ('integer','real') OR abs(ROUND(" + c + ", " + std::to_string(t.scale) + ")) < 1e" +
           std::to_string(t.precision - t.scale) + ")";
  bool has_precision = (t.kind == okind::number && t.precision >= 0) || t.kind == okind::float_;
  int precision = t.kind == okind::float_ ? (t.precision < 0 ? 126 : t.precision) : t.precision;
  bool has_scale = (t.kind == okind::number && t.precision >= 0) || t.kind == okind::integer ||
                   (t.is_datetime() && t.kind != okind::date);
  int scale = t.kind == okind::number ? t.scale : t.kind == okind::integer ? 0 : t.fraction;
  std::string sql = "ALTER TABLE " + sqlite_name(table) + " ADD COLUMN " + def + ";" +
                    "INSERT INTO \"OCILITE$COLUMNS\" VALUES(" + quote(table) + "," + quote(col.name) + "," +
                    quote(t.data_type()) + "," + std::to_string(t.data_length()) + "," +
                    (has_precision ? std::to_string(precision) : "NULL") + "," +
                    (has_scale ? std::to_string(scale) : "NULL") + ",'Y'," + std::to_string(cols.size() + 1) + "," +
                    (col.default_text.empty() ? "NULL" : std::to_string(col.default_text.size())) + "," +
                    (col.default_text.empty() ? "NULL" : quote(col.default_text)) + "," +
                    std::to_string(t.char_length()) + "," +
                    (t.is_character() ? (t.char_semantics ? "'C'" : "'B'") : "NULL") + ");";
  sql += value_triggers(table, col.name, t);
  if (!apply(s, sql, error)) return false;
  if (!col.default_sqlite.empty() && def.find(" DEFAULT ") == std::string::npos) {
    // SQLite adds a column with a constant default only: an expression is
    // written into the table's definition afterwards, and the rows there
    // take its value, as Oracle fills them.
    bool edited = edit_table_sql(s, table, [&](std::vector<std::string>& items, oracle_error&) {
      for (auto& item : items) {
        column_item c;
        if (!parse_column_item(item, col.name, c)) continue;
        c.default_sql = "(" + col.default_sqlite + ")";
        item = column_item_text(col.name, c);
      }
      return true;
    }, error);
    if (!edited || !apply(s, "UPDATE " + sqlite_name(table) + " SET " + c + " = (" + col.default_sqlite + ");", error))
      return false;
  }
  if (col.not_null) {
    constraint_def nn;
    nn.name = col.not_null_name;
    nn.type = 'C';
    nn.columns = {col.name};
    nn.check_text = "\"" + col.name + "\" IS NOT NULL";
    if (!add_constraint(s, table, nn, error)) return false;
  }
  for (auto& k : constraints)
    if (!add_constraint(s, table, k, error)) return false;
  return true;
}

// The triggers that keep a column's values in its type's form on every
// write, as CREATE TABLE makes them: numbers rounded to the scale, text
// written to a date read as a date. Those there before are dropped.
std::string value_triggers(const std::string& table, const std::string& column, const otype& t) {
  std::string sql, tab = sqlite_name(table), c = sqlite_name(column), v = "NEW." + sqlite_name(column);
  auto rewrite = [&](const std::string& kind, const std::string& when, const std::string& value) {
    for (const char* event : {"INSERT", "UPDATE OF "}) {
      bool insert = event[0] == 'I';
      sql += "CREATE TRIGGER " + sqlite_name("OCILITE$" + kind + "$" + (insert ? "I$" : "U$") + table + "$" + column) +
             " AFTER " + event + (insert ? "" : c) + " ON " + tab + " WHEN " + when + " BEGIN UPDATE " + tab + " SET " +
             c + " = " + value + " WHERE rowid = NEW.rowid; END;";
    }
  };
  for (const char* kind : {"ROUND", "DATETIME"})
    for (const char* which : {"I$", "U$"})
      sql += "DROP TRIGGER IF EXISTS " + sqlite_name("OCILITE$" + std::string(kind) + "$" + which + table + "$" + column) + ";";
  if (t.kind == okind::integer || (t.kind == okind::number && t.precision > 0)) {
    std::string rounded = "ROUND(" + v + ", " + std::to_string(t.kind == okind::integer ? 0 : t.scale) + ")";
    rewrite("ROUND", "typeof(" + v + ") IN ('integer','real') AND " + v + " <> " + rounded, rounded);
  }
  if (t.is_datetime()) {
    int form = t.kind == okind::date ? 0 : t.kind == okind::timestamp_tz ? 2 : 1;
    std::string converted = "OCILITE_DATETIME(" + v + ", " + std::to_string(form) + ")";
    rewrite("DATETIME", v + " IS NOT NULL AND " + v + " IS NOT " + converted, converted);
  }
  return sql;
}

// MODIFY col type: a longer or shorter text, a number of other precision or
// scale. The rows must fit (ORA-01441 / ORA-01440); another kind of type
// needs an empty column in Oracle (ORA-01439) and is not made by ocilite.
bool retype_column(session& s, const std::string& table, const std::string& column, const otype& from,
                   const otype& to, oracle_error& error) {
  const std::string tab = sqlite_name(table), c = sqlite_name(column);
  bool same_family = (from.is_character() && to.is_character() && from.kind == to.kind) ||
                     ((from.kind == okind::number || from.kind == okind::integer) &&
                      (to.kind == okind::number || to.kind == okind::integer)) ||
                     (from.kind == okind::raw && to.kind == okind::raw);
  if (!same_family) {
    error = make_error(has_rows(s, "SELECT 1 FROM " + tab + " WHERE " + c + " IS NOT NULL") ? 1439 : 3001);
    return false;
  }
  auto checks = own_checks(column, to);
  for (const auto& check : checks) {
    std::string condition = check.substr(check.find(" CHECK (") + 7);
    if (has_rows(s, "SELECT 1 FROM " + tab + " WHERE NOT " + condition)) {
      error = make_error(from.is_character() || from.kind == okind::raw ? 1441 : 1440);
      return false;
    }
  }
  if ((to.kind == okind::number || to.kind == okind::integer) &&
      has_rows(s, "SELECT 1 FROM " + tab + " WHERE typeof(" + c + ") IN ('integer','real') AND " + c + " <> ROUND(" +
                      c + ", " + std::to_string(to.kind == okind::integer ? 0 : to.scale) + ")")) {
    error = make_error(1440);
    return false;
  }
  bool edited = edit_table_sql(s, table, [&](std::vector<std::string>& items, oracle_error&) {
    std::vector<std::string> kept;
    for (auto& item : items) {
      if (is_own_check_of(item, column)) continue;
      column_item col;
      if (parse_column_item(item, column, col, true)) {
        col.declared = to.declared();
        item = column_item_text(column, col);
      }
      kept.push_back(item);
    }
    kept.insert(kept.end(), checks.begin(), checks.end());
    items = kept;
    return true;
  }, error);
  if (!edited) return false;
  std::string sql = value_triggers(table, column, to);
  bool has_precision = (to.kind == okind::number && to.precision >= 0) || to.kind == okind::float_;
  int precision = to.kind == okind::float_ ? (to.precision < 0 ? 126 : to.precision) : to.precision;
  bool has_scale = (to.kind == okind::number && to.precision >= 0) || to.kind == okind::integer;
  int scale = to.kind == okind::number ? to.scale : 0;
  sql += "UPDATE \"OCILITE$COLUMNS\" SET DATA_TYPE = " + quote(to.data_type()) + ", DATA_LENGTH = " +
         std::to_string(to.data_length()) + ", DATA_PRECISION = " + (has_precision ? std::to_string(precision) : "NULL") +
         ", DATA_SCALE = " + (has_scale ? std::to_string(scale) : "NULL") + ", CHAR_LENGTH = " +
         std::to_string(to.char_length()) + ", CHAR_USED = " +
         (to.is_character() ? (to.char_semantics ? "'C'" : "'B'") : "NULL") + " WHERE TABLE_NAME = " + quote(table) +
         " AND COLUMN_NAME = " + quote(column) + ";";
  sql += "UPDATE \"OCILITE$IND_COLUMNS\" SET COLUMN_LENGTH = " + std::to_string(to.data_length()) + ", CHAR_LENGTH = " +
         std::to_string(to.char_length()) + " WHERE TABLE_NAME = " + quote(table) + " AND COLUMN_NAME = " +
         quote(column) + ";";
  return apply(s, sql, error);
}

bool modify_column(session& s, const std::string& table, parser& p, oracle_error& error) {
  column_def col;
  std::vector<constraint_def> constraints;
  if (!p.name(col.name, error)) return false;
  size_t start = p.i_;
  if (!parse_column(p, col, constraints, true, error)) return false;
  auto cols = table_columns(s, table);
  auto found = std::find_if(cols.begin(), cols.end(), [&](const auto& c) { return c.first == col.name; });
  if (found == cols.end()) {
    error = make_error(904, "\"" + col.name + "\"");
    return false;
  }
  bool retyped = start < p.t_.size() && p.t_[start].kind == token_kind::word && !p.t_[start].is("DEFAULT") &&
                 !p.t_[start].is("NOT") && !p.t_[start].is("NULL") && !p.t_[start].is("CONSTRAINT");
  if (retyped && col.type.declared() != found->second.declared() && !retype_column(s, table, col.name, found->second,
                                                                                   col.type, error))
    return false;
  if (!col.default_text.empty() || col.default_on_null) {
    if (col.default_on_null || !col.identity.empty()) {  // these take triggers of their own
      error = make_error(3001);
      return false;
    }
    bool edited = edit_table_sql(s, table, [&](std::vector<std::string>& items, oracle_error&) {
      for (auto& item : items) {
        column_item c;
        if (!parse_column_item(item, col.name, c)) continue;
        c.default_sql = "(" + col.default_sqlite + ")";
        item = column_item_text(col.name, c);
      }
      return true;
    }, error);
    if (!edited || !apply(s, "UPDATE \"OCILITE$COLUMNS\" SET DATA_DEFAULT = " + quote(col.default_text) +
                                 ", DEFAULT_LENGTH = " + std::to_string(col.default_text.size()) + " WHERE TABLE_NAME = " +
                                 quote(table) + " AND COLUMN_NAME = " + quote(col.name) + ";", error))
      return false;
  }
  bool wants_null = false;
  for (size_t k = start; k < p.i_; ++k)
    if (p.t_[k].is("NULL") && !(k > start && p.t_[k - 1].is("NOT"))) wants_null = true;
  std::string nullable =
      lookup(s, "SELECT NULLABLE FROM \"OCILITE$COLUMNS\" WHERE TABLE_NAME = ?1 AND COLUMN_NAME = ?2", table, col.name);
  if (col.not_null) {
    if (nullable == "N") {
      error = make_error(1442);
      return false;
    }
    constraint_def nn;
    nn.name = col.not_null_name;
    nn.type = 'C';
    nn.columns = {col.name};
    nn.check_text = "\"" + col.name + "\" IS NOT NULL";
    if (!add_constraint(s, table, nn, error)) return false;
  } else if (wants_null) {
    std::string name = lookup(s,
                              "SELECT c.CONSTRAINT_NAME FROM \"OCILITE$CONSTRAINTS\" c JOIN \"OCILITE$CONS_COLUMNS\" k"
                              " ON k.CONSTRAINT_NAME = c.CONSTRAINT_NAME WHERE c.TABLE_NAME = ?1 AND k.COLUMN_NAME = ?2"
                              " AND c.CONSTRAINT_TYPE = 'C' AND c.SEARCH_CONDITION = '\"' || ?2 || '\" IS NOT NULL'",
                              table, col.name);
    if (name.empty()) {
      error = make_error(1451);
      return false;
    }
    if (!set_state(s, table, name, false, false, true, error)) return false;
    if (!apply(s, "UPDATE \"OCILITE$COLUMNS\" SET NULLABLE = 'Y' WHERE TABLE_NAME = " + quote(table) +
                      " AND COLUMN_NAME = " + quote(col.name) + ";", error))
      return false;
  }
  for (auto& k : constraints)
    if (!add_constraint(s, table, k, error)) return false;
  return true;
}

// The triggers of constraints on or into a table name it and its columns
// (SQLite checks them while renaming, and their messages carry the names):
// they are dropped before a rename and made again after it.
std::vector<std::string> enforced_around(session& s, const std::string& table, std::string& drop_sql) {
  std::vector<std::string> names;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(s.db, "SELECT e.CONSTRAINT_NAME FROM \"OCILITE$ENFORCED\" e JOIN \"OCILITE$CONSTRAINTS\" c ON"
                         " c.CONSTRAINT_NAME = e.CONSTRAINT_NAME WHERE c.TABLE_NAME = ?1 OR c.R_CONSTRAINT_NAME IN"
                         " (SELECT CONSTRAINT_NAME FROM \"OCILITE$CONSTRAINTS\" WHERE TABLE_NAME = ?1)",
                         -1, &st, nullptr) == SQLITE_OK) {
    sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(st) == SQLITE_ROW) names.push_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  }
  sqlite3_finalize(st);
  for (const auto& name : names) drop_sql += unenforce_constraint(s, name);
  return names;
}

bool enforce_again(session& s, const std::vector<std::string>& names, oracle_error& error) {
  for (const auto& name : names) {
    constraint_def c;
    std::string owner;
    if (!load_constraint(s, name, owner, c)) continue;
    std::string sql;
    if (!enforce_constraint(s, owner, c, c.using_index, false, sql, error) || !apply(s, sql, error)) return false;
  }
  return true;
}

bool rename_table(session& s, const std::string& from, const std::string& to, oracle_error& error) {
  if (object_exists(s, to)) {
    error = make_error(955);
    return false;
  }
  std::string f = quote(from), t = quote(to), sql;
  auto enforced = enforced_around(s, from, sql);
  sql += "ALTER TABLE " + sqlite_name(from) + " RENAME TO " + sqlite_name(to) + ";";
  for (const char* tab : {"TABLES", "COLUMNS", "CONSTRAINTS", "CONS_COLUMNS", "INDEXES", "IND_COLUMNS",
                          "IND_EXPRESSIONS", "IDENTITY", "COMMENTS"})
    sql += "UPDATE \"OCILITE$" + std::string(tab) + "\" SET TABLE_NAME = " + t + " WHERE TABLE_NAME = " + f + ";";
  return apply(s, sql, error) && enforce_again(s, enforced, error);
}

bool rename_column(session& s, const std::string& table, const std::string& from, const std::string& to,
                   oracle_error& error) {
  auto cols = table_columns(s, table);
  bool known = false;
  for (const auto& c : cols) {
    if (c.first == to) {
      error = make_error(957);
      return false;
    }
    known = known || c.first == from;
  }
  if (!known) {
    error = make_error(904, "\"" + from + "\"");
    return false;
  }
  std::string sql;
  auto enforced = enforced_around(s, table, sql);
  sql += "ALTER TABLE " + sqlite_name(table) + " RENAME COLUMN " + sqlite_name(from) + " TO " + sqlite_name(to) + ";";
  for (const char* tab : {"COLUMNS", "CONS_COLUMNS", "IND_COLUMNS", "IDENTITY", "COMMENTS"})
    sql += "UPDATE \"OCILITE$" + std::string(tab) + "\" SET COLUMN_NAME = " + quote(to) + " WHERE TABLE_NAME = " +
           quote(table) + " AND COLUMN_NAME = " + quote(from) + ";";
  // Check conditions name the column too: they are given the new name.
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(s.db, "SELECT CONSTRAINT_NAME, SEARCH_CONDITION FROM \"OCILITE$CONSTRAINTS\" WHERE"
                         " TABLE_NAME = ?1 AND CONSTRAINT_TYPE = 'C'", -1, &st, nullptr) == SQLITE_OK) {
    sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(st) == SQLITE_ROW) {
      std::string name = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
      const unsigned char* raw = sqlite3_column_text(st, 1);
      std::string text = raw ? reinterpret_cast<const char*>(raw) : "", rewritten;
      std::vector<token> t;
      oracle_error ignored;
      if (!tokenize(text, t, ignored)) continue;
      size_t copied = 0;
      for (size_t i = 0; i < t.size(); ++i) {
        if (!is_name(t[i]) || t[i].text != from || (i > 0 && t[i - 1].is(".")) ||
            (i + 1 < t.size() && t[i + 1].is("(")))
          continue;
        rewritten += text.substr(copied, t[i].begin - copied) + "\"" + to + "\"";
        copied = t[i].end;
      }
      if (copied)
        sql += "UPDATE \"OCILITE$CONSTRAINTS\" SET SEARCH_CONDITION = " + quote(rewritten + text.substr(copied)) +
               " WHERE CONSTRAINT_NAME = " + quote(name) + ";";
    }
  }
  sqlite3_finalize(st);
  return apply(s, sql, error) && enforce_again(s, enforced, error);
}

}  // namespace

bool alter_table(session& s, parser& p, bool parse_only, oracle_error& error) {
  std::string table;
  if (!p.object(table, s, error)) return false;
  if (parse_only) return true;
  if (!table_exists(s, table)) {
    error = make_error(942);
    return false;
  }
  auto constraint_starts = [&] {
    return p.at("CONSTRAINT") || p.at("PRIMARY") || p.at("UNIQUE") || p.at("FOREIGN") || p.at("CHECK");
  };
  if (p.done()) {
    error = make_error(1735);
    return false;
  }
  while (!p.done()) {
    if (p.accept("ADD")) {
      bool grouped = p.accept("(");
      do {
        if (constraint_starts()) {
          constraint_def c;
          if (p.accept("CONSTRAINT") && !p.name(c.name, error)) return false;
          if (!parse_constraint_body(p, c, false, error)) return false;
          if (!add_constraint(s, table, c, error)) return false;
        } else if (!add_column(s, table, p, error)) {
          return false;
        }
      } while (grouped && p.accept(","));
      if (grouped && !p.expect(")", 907, error)) return false;
    } else if (p.accept("MODIFY")) {
      if (p.accept("CONSTRAINT")) {
        std::string name;
        if (!p.name(name, error)) return false;
        constraint_def state;
        parse_constraint_state(p, state);
        if (!set_state(s, table, name, state.enabled, state.validate, false, error)) return false;
        continue;
      }
      bool grouped = p.accept("(");
      do {
        if (!modify_column(s, table, p, error)) return false;
      } while (grouped && p.accept(","));
      if (grouped && !p.expect(")", 907, error)) return false;
    } else if (p.at("ENABLE") || p.at("DISABLE")) {
      bool enable = p.t_[p.i_++].is("ENABLE");
      bool validate = enable;
      if (p.accept("VALIDATE")) validate = true;
      else if (p.accept("NOVALIDATE")) validate = false;
      std::string name;
      if (p.accept("CONSTRAINT")) {
        if (!p.name(name, error)) return false;
      } else if (p.accept("PRIMARY")) {
        if (!p.expect("KEY", 905, error)) return false;
        name = lookup(s, "SELECT CONSTRAINT_NAME FROM \"OCILITE$CONSTRAINTS\" WHERE TABLE_NAME = ?1 AND"
                         " CONSTRAINT_TYPE = 'P'", table);
        if (name.empty()) {
          error = make_error(2443);
          return false;
        }
      } else if (p.accept("ROW") || p.accept("TABLE") || p.accept("ALL")) {
        while (!p.done() && !p.at("ENABLE") && !p.at("DISABLE")) ++p.i_;  // ROW MOVEMENT, TABLE LOCK, triggers
        continue;
      } else {
        error = make_error(905);
        return false;
      }
      p.accept("CASCADE");
      p.accept("KEEP") || p.accept("DROP");
      p.accept("INDEX");
      if (!set_state(s, table, name, enable, validate, false, error)) return false;
    } else if (p.accept("DROP")) {
      std::string name;
      if (p.accept("CONSTRAINT")) {
        if (!p.name(name, error)) return false;
      } else if (p.accept("PRIMARY")) {
        if (!p.expect("KEY", 905, error)) return false;
        name = lookup(s, "SELECT CONSTRAINT_NAME FROM \"OCILITE$CONSTRAINTS\" WHERE TABLE_NAME = ?1 AND"
                         " CONSTRAINT_TYPE = 'P'", table);
      } else {
        error = make_error(3001);
        return false;
      }
      p.accept("CASCADE");
      p.accept("KEEP") || p.accept("DROP");
      p.accept("INDEX");
      if (!set_state(s, table, name, false, false, true, error)) return false;
    } else if (p.accept("RENAME")) {
      std::string from, to;
      if (p.accept("COLUMN")) {
        if (!p.name(from, error) || !p.expect("TO", 905, error) || !p.name(to, error)) return false;
        if (!rename_column(s, table, from, to, error)) return false;
      } else if (p.accept("CONSTRAINT")) {
        if (!p.name(from, error) || !p.expect("TO", 905, error) || !p.name(to, error)) return false;
        if (!exists(s, "SELECT 1 FROM \"OCILITE$CONSTRAINTS\" WHERE CONSTRAINT_NAME = ?1", from)) {
          error = make_error(2443);
          return false;
        }
        if (enforced_by_triggers(s, from)) {  // its triggers carry the old name
          error = make_error(3001);
          return false;
        }
        std::string f = quote(from), t = quote(to);
        if (!apply(s, "UPDATE \"OCILITE$CONSTRAINTS\" SET CONSTRAINT_NAME = " + t + ", GENERATED = 'USER NAME'"
                      " WHERE CONSTRAINT_NAME = " + f + ";UPDATE \"OCILITE$CONS_COLUMNS\" SET CONSTRAINT_NAME = " + t +
                      " WHERE CONSTRAINT_NAME = " + f + ";UPDATE \"OCILITE$CONSTRAINTS\" SET R_CONSTRAINT_NAME = " + t +
                      " WHERE R_CONSTRAINT_NAME = " + f + ";", error))
          return false;
      } else {
        if (!p.expect("TO", 905, error) || !p.name(to, error)) return false;
        if (!rename_table(s, table, to, error)) return false;
        table = to;
      }
    } else {
      return physical_clauses(p, error);  // MOVE, NOLOGGING, PCTFREE ...: nothing to change
    }
  }
  return true;
}

bool drop_constraint(session& s, const std::string& table, const std::string& name, oracle_error& error) {
  return set_state(s, table, name, false, false, true, error);
}

bool rename_object(session& s, parser& p, bool parse_only, oracle_error& error) {
  std::string from, to;
  if (!p.name(from, error) || !p.expect("TO", 905, error) || !p.name(to, error)) return false;
  if (!p.done()) {
    error = make_error(933);
    return false;
  }
  if (parse_only) return true;
  if (table_exists(s, from)) return rename_table(s, from, to, error);
  if (exists(s, "SELECT 1 FROM \"OCILITE$SEQUENCES\" WHERE SEQUENCE_NAME = ?1", from)) {
    if (object_exists(s, to)) {
      error = make_error(955);
      return false;
    }
    return apply(s, "UPDATE \"OCILITE$SEQUENCES\" SET SEQUENCE_NAME = " + quote(to) + " WHERE SEQUENCE_NAME = " +
                        quote(from) + ";", error);
  }
  error = make_error(object_exists(s, from) ? 3001 : 4043, from);
  return false;
}

bool comment_on(session& s, parser& p, bool parse_only, oracle_error& error) {
  bool column = false;
  if (p.accept("COLUMN")) column = true;
  else if (!p.accept("TABLE")) {
    if (p.accept("MATERIALIZED") || p.accept("INDEXTYPE") || p.accept("OPERATOR") || p.accept("EDITION") ||
        p.accept("MINING")) {
      error = make_error(3001);
      return false;
    }
    error = make_error(905);
    return false;
  }
  std::string table, col;
  if (!p.name(table, error)) return false;
  if (p.accept(".")) {
    std::string second;
    if (!p.name(second, error)) return false;
    if (column && p.accept(".")) {  // owner.table.column
      if (table != s.user) {
        error = make_error(1031);
        return false;
      }
      table = second;
      if (!p.name(col, error)) return false;
    } else if (column) {
      col = second;
    } else {
      if (table != s.user) {
        error = make_error(1031);
        return false;
      }
      table = second;
    }
  } else if (column) {
    error = make_error(905);
    return false;
  }
  if (!p.expect("IS", 905, error)) return false;
  if (p.done() || p.t_[p.i_].kind != token_kind::string) {
    error = make_error(1780);
    return false;
  }
  std::string text = p.t_[p.i_++].text;
  if (!p.done()) {
    error = make_error(933);
    return false;
  }
  if (parse_only) return true;
  if (!table_exists(s, table) && !exists(s, "SELECT 1 FROM \"OCILITE$VIEWS\" WHERE VIEW_NAME = ?1", table)) {
    error = make_error(942);
    return false;
  }
  if (column && !exists(s, "SELECT 1 FROM \"OCILITE$COLUMNS\" WHERE TABLE_NAME = ?1 AND COLUMN_NAME = ?2", table, col)) {
    error = make_error(904, "\"" + col + "\"");
    return false;
  }
  std::string where = "TABLE_NAME = " + quote(table) + " AND COLUMN_NAME " + (column ? "= " + quote(col) : "IS NULL");
  return apply(s, "DELETE FROM \"OCILITE$COMMENTS\" WHERE " + where + ";INSERT INTO \"OCILITE$COMMENTS\" VALUES(" +
                      quote(table) + "," + (column ? quote(col) : "NULL") + "," +
                      (text.empty() ? "NULL" : quote(text)) + ");",
               error);
}

}  // namespace ocl::ddl
