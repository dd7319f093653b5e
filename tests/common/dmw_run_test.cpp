// The conversion run: an in-memory source database on one side and the Access
// layer over its engine double on the other.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "../DAO/dao_fake.h"
#include "DAO/dao_engi.h"
#include "DAO/dao_repl.h"
#include "ORA/ora_excp.h"
#include "TK/tk_strin.h"
#include "TK/tk_trace.h"
#include "common/dmw_conv.h"
#include "common/err_hand.h"
#include "common/err_text.h"

namespace fs = std::filesystem;

namespace {

struct column {
  std::u16string name;
  VARTYPE type;
  uint32_t size = 0;
};

// One table or query result of the source.
struct source_table {
  std::vector<column> columns;
  std::vector<udb_index> indexes;
  std::vector<std::vector<ole_variant>> rows;
  bool system = false;                    // answered as null, like a system or linked table
  std::function<void(size_t row)> on_fetch;  // called before a row is handed out
};

// What the source saw, in order, and how many of its streams are open.
struct source_log {
  std::vector<std::string> calls;
  int open_streams = 0;
};

class source_stream : public udb_recordset {
 public:
  source_stream(const std::u16string& name, const std::u16string& select_text, const source_table& table,
                source_log& log)
      : udb_recordset(name, select_text, true), table_(table), log_(log) {
    for (const column& c : table.columns)
      schema_.add(std::make_unique<t_ftd>(c.size, c.name, c.type, false, false, ole_variant(), 0));
    for (const udb_index& index : table.indexes) indexes_.add(index);
    record_count_ = static_cast<int32_t>(table.rows.size());
    ++log_.open_streams;
  }
  ~source_stream() override {
    --log_.open_streams;
    log_.calls.push_back("release " + tk_to_utf8(name_));
  }

  void append_record(udb_record&) override { throw std::logic_error("the source is never written"); }
  udb_record* get_item() override {
    if (table_.on_fetch) table_.on_fetch(position_);
    current_ = std::make_unique<udb_record>();
    const std::vector<ole_variant>& row = table_.rows.at(position_);
    for (size_t i = 0; i < row.size(); ++i)
      current_->add(std::make_unique<udb_field>(table_.columns[i].name, table_.columns[i].size, row[i]));
    return current_.get();
  }
  bool is_eof() override { return position_ >= table_.rows.size(); }
  void next() override { ++position_; }
  void rewind() override {
    log_.calls.push_back("rewind " + tk_to_utf8(name_));
    position_ = 0;
  }

 private:
  const source_table& table_;
  source_log& log_;
  size_t position_ = 0;
  std::unique_ptr<udb_record> current_;
};

class in_memory_source : public udb_database {
 public:
  explicit in_memory_source(source_log& log) : udb_database(u"ORCL", 0, true), log_(log) {}

  void add_table(const std::u16string& name, source_table table) {
    tables_[name] = std::move(table);
    table_names_.push_back(name);
  }
  void add_query(const std::u16string& select_text, source_table result) { queries_[select_text] = std::move(result); }
  source_table& table(const std::u16string& name) { return tables_.at(name); }

  std::unique_ptr<udb_recordset> create_table(const std::u16string&, const udb_schema&, const udb_indexes&) override {
    throw std::logic_error("the source is never written");
  }
  std::unique_ptr<udb_recordset> get_table(const std::u16string& name, uint32_t flags) override {
    log_.calls.push_back("get_table " + tk_to_utf8(name) + " " + std::to_string(flags));
    const source_table& t = tables_.at(name);
    if (t.system) return nullptr;
    return std::make_unique<source_stream>(name, u"", t, log_);
  }
  std::unique_ptr<udb_recordset> get_query(const std::u16string& name, const std::u16string& select_text,
                                           uint32_t flags) override {
    log_.calls.push_back("get_query " + tk_to_utf8(name) + " " + tk_to_utf8(select_text) + " " +
                         std::to_string(flags));
    return std::make_unique<source_stream>(name, select_text, queries_.at(select_text), log_);
  }
  bool test_query(const std::u16string&) override { return true; }
  bool is_table_exist(const std::u16string& name) override {
    log_.calls.push_back("exists " + tk_to_utf8(name));
    return udb_database::is_table_exist(name);
  }

 private:
  source_log& log_;
  std::map<std::u16string, source_table> tables_;
  std::map<std::u16string, source_table> queries_;
};

// The converter with the source above as its connection.
class test_converter : public dunmarrow_convertor {
 public:
  test_converter(dmw_front_end front_end, source_log& log) : dunmarrow_convertor(front_end) {
    auto source = std::make_unique<in_memory_source>(log);
    source_ = source.get();
    database_ = std::move(source);
    database_name_ = u"ORCL";
  }
  in_memory_source& source() { return *source_; }

 private:
  in_memory_source* source_;
};

// The wizard's dialogs, answering as told.
struct wizard_dialogs : error_front_end {
  std::vector<std::string> shown;
  std::vector<std::string> asked;
  bool abort = false;
  std::function<void()> on_error;
  bool is_up() const override { return false; }
  size_t error_line_count() const override { return 0; }
  void append_error_line(const std::u16string&) override {}
  void show_internal_error(const std::string& text) override { ADD_FAILURE() << text; }
  void show_error(const std::string& message) override {
    if (on_error) on_error();
    shown.push_back(message);
  }
  answer ask_continue(const std::string& message) override {
    asked.push_back(message);
    return {abort, false};
  }
};

std::vector<ole_variant> row(int id, const char16_t* note) { return {ole_variant(id), ole_variant(note)}; }

source_table id_note_table(int rows) {
  source_table t;
  t.columns = {{u"ID", VT_I4}, {u"NOTE", VT_BSTR, 40}};
  t.indexes = {udb_index{u"PK_ID", true, true, {u"ID"}}};
  for (int i = 1; i <= rows; ++i) t.rows.push_back(row(i, u"n"));
  return t;
}

std::string read_all(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class DriverTest : public ::testing::Test {
 protected:
  DriverTest()
      : folder_(fs::temp_directory_path() / ("dmw_run_" + std::to_string(::getpid()))),
        created_(fs::create_directories(folder_)),
        log_file_(folder_ / "trace.log"),
        trace_(log_file_.string(), true, 1, false),
        handler_(dmw_oracle_error_text_count, dmw_oracle_error_texts) {
    handler_.load_err_map(dmw_access_error_text_count, dmw_access_error_texts);
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg) old_xdg_ = xdg;
    ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    dest_ = (folder_ / "out.mdb").u16string();
  }
  ~DriverTest() override {
    if (old_xdg_.empty()) ::unsetenv("XDG_CONFIG_HOME");
    else ::setenv("XDG_CONFIG_HOME", old_xdg_.c_str(), 1);
    fs::remove_all(folder_);
  }
  void SetUp() override {
    dao_fake::reset();
    dao_fake::register_engine(CLSID_DBEngine36);
    dao_fake::register_engine(CLSID_DBEngine35);
  }
  void TearDown() override {
    converter_.reset();  // the wizard's converter stores its settings here
    handler_.set_front_end(nullptr);
    dao_fake::unregister_engine(CLSID_DBEngine36);
    dao_fake::unregister_engine(CLSID_DBEngine35);
    EXPECT_EQ(dao_fake::live_objects(), 0) << "objects of the Access engine left unreleased";
    EXPECT_EQ(log_.open_streams, 0) << "source streams left open";
    dao_fake::reset();
  }

  test_converter& make(dmw_front_end front_end = dmw_front_end::agent) {
    converter_.emplace(front_end, log_);
    converter_->set_dest_name(dest_);
    converter_->set_destination_format(1);
    return *converter_;
  }
  // The run with its console output captured.
  void run() {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    (*converter_)();
    out_ = testing::internal::GetCapturedStdout();
    err_ = testing::internal::GetCapturedStderr();
  }
  // An existing Access 2000 file (or Access 97 for version byte 0) known to the engine.
  dao_fake::database& existing_file(char version_byte = 1) {
    std::string header(4096, '\0');
    header[20] = version_byte;
    std::ofstream(folder_ / "out.mdb", std::ios::binary) << header;
    return dao_fake::the_world().add_file(dest_);
  }
  // The database at the destination; when the run put none there, the one it
  // built beside it (its file removed when the run ended early).
  dao_fake::database& written() {
    dao_fake::world& world = dao_fake::the_world();
    if (auto at_destination = world.file(dest_)) return *at_destination;
    return *world.files.at(dao_build_name(dest_));
  }
  dao_fake::table& written_table(const std::u16string& name) {
    dao_fake::table* t = written().find(name);
    if (!t) throw std::logic_error("no table " + tk_to_utf8(name));
    return *t;
  }
  std::vector<std::u16string> written_names() {
    std::vector<std::u16string> names;
    for (const auto& t : written().tables) names.push_back(t->name);
    return names;
  }
  std::string trace_text() { return read_all(log_file_); }
  size_t trace_position(const std::string& line) {
    const size_t at = trace_text().find(line);
    EXPECT_NE(at, std::string::npos) << "no trace line " << line;
    return at;
  }
  bool called(const std::string& call) const {
    return std::find(log_.calls.begin(), log_.calls.end(), call) != log_.calls.end();
  }

  fs::path folder_;
  bool created_;
  fs::path log_file_;
  tk_trace trace_;
  error_handler handler_;
  std::string old_xdg_;
  std::u16string dest_;
  source_log log_;
  std::optional<test_converter> converter_;
  std::string out_;
  std::string err_;
};

const std::string kDuplicate =
    "Duplicate field values being used for an unique index were found. See 'Troubleshooting' article of the "
    "product documentation for solution.";

}  // namespace

TEST_F(DriverTest, EntriesRunInCodeUnitOrderAndAQueryWinsOverItsTable) {
  test_converter& c = make();
  for (const char16_t* name : {u"b", u"A", u"a", u"Q"}) c.source().add_table(name, id_note_table(1));
  source_table result = id_note_table(3);
  c.source().add_query(u"SELECT * FROM A", std::move(result));
  c.selected_tables() = {u"b", u"Q", u"A", u"a"};
  c.selected_objects() = {{u"Q", u"SELECT * FROM A"}};
  run();

  EXPECT_EQ(out_,
            "Converting database ORCL(4 tables)\n"
            "Converting table A(1 records)\nConverting table Q(3 records)\n"
            "Converting table a(1 records)\nConverting table b(1 records)\n");
  EXPECT_EQ(err_, "");
  // "a" follows "A" in the same file, so it gets a name of its own.
  EXPECT_EQ(written_names(), (std::vector<std::u16string>{u"A", u"Q", u"a00000", u"b"}));
  EXPECT_EQ(written_table(u"Q").rows.size(), 3u);
  trace_position("Store generated table name 'a00000'");
  EXPECT_TRUE(called("get_query Q SELECT * FROM A 1"));
  EXPECT_FALSE(called("get_table Q 1"));
  EXPECT_FALSE(called("exists Q"));  // a query is not looked up as a table
  EXPECT_TRUE(called("exists b"));
  // The tables stay in the work map after the run.
  EXPECT_EQ(c.selected_objects().size(), 4u);
  EXPECT_EQ(c.selected_objects().at(u"Q"), u"SELECT * FROM A");
  EXPECT_FALSE(c.failed_before_converting());
  EXPECT_TRUE(c.is_finished());
  EXPECT_TRUE(written().closed);
}

TEST_F(DriverTest, TablesCarryTheirRowsAndIndexes) {
  test_converter& c = make();
  c.source().add_table(u"EMP", id_note_table(3));
  c.source().add_table(u"EMPTY", id_note_table(0));
  c.selected_tables() = {u"EMP", u"EMPTY"};
  run();

  dao_fake::table& emp = written_table(u"EMP");
  ASSERT_EQ(emp.rows.size(), 3u);
  EXPECT_EQ(emp.rows[2][0].to_long(), 3);
  EXPECT_EQ(emp.rows[2][1].to_wstring(), u"n");
  ASSERT_EQ(emp.indexes.size(), 1u);
  EXPECT_TRUE(emp.indexes[0]->primary);
  // A table without records gets its definition and indexes but no record loop.
  EXPECT_EQ(written_table(u"EMPTY").indexes.size(), 1u);
  EXPECT_TRUE(called("rewind EMP"));
  EXPECT_FALSE(called("rewind EMPTY"));
  EXPECT_FALSE(c.oracle_skip_indexes());
}

TEST_F(DriverTest, DefinitionsOnlyAndSkipIndexes) {
  test_converter& c = make();
  c.source().add_table(u"EMP", id_note_table(3));
  c.selected_tables() = {u"EMP"};
  c.set_only_definitions(true);
  run();
  EXPECT_EQ(written_table(u"EMP").rows.size(), 0u);
  EXPECT_EQ(written_table(u"EMP").indexes.size(), 1u);
  EXPECT_FALSE(called("rewind EMP"));
  EXPECT_EQ(out_, "Converting database ORCL(1 tables)\nConverting table EMP(3 records)\n");

  dao_fake::the_world().files.clear();
  c.set_only_definitions(false);
  c.set_skip_indexes(true);
  run();
  EXPECT_EQ(written_table(u"EMP").rows.size(), 3u);
  EXPECT_TRUE(written_table(u"EMP").indexes.empty());
  // The Oracle side is told too.
  EXPECT_TRUE(c.oracle_skip_indexes());
}

TEST_F(DriverTest, NewFileFormatAndExistingFileVersionChooseTheEngine) {
  wizard_dialogs dialogs;
  handler_.set_front_end(&dialogs);
  const std::string missing =
      "Failed to load Data Access Objects (DAO) support library. Microsoft Access installation is required to "
      "proceed with the application. ";
  test_converter& c = make(dmw_front_end::wizard);
  c.source().add_table(u"EMP", id_note_table(1));
  c.selected_tables() = {u"EMP"};
  // Access 95/97 needs the other engine: without it the run cannot start.
  dao_fake::unregister_engine(CLSID_DBEngine35);
  c.set_destination_format(0);
  run();
  EXPECT_EQ(dialogs.shown, std::vector<std::string>{missing});
  EXPECT_TRUE(c.failed_before_converting());
  EXPECT_TRUE(dao_fake::the_world().files.empty());
  EXPECT_TRUE(c.is_finished());
  EXPECT_LT(trace_position("dunmarrow_convertor::operator()"), trace_position("Conversion started on "));
  EXPECT_LT(trace_position("Conversion started on "), trace_position("Error:\nFailed to load"));
  EXPECT_LT(trace_position("Error:\nFailed to load"), trace_position("\r\nConversion ended on "));

  c.set_destination_format(1);
  run();
  EXPECT_EQ(written_table(u"EMP").rows.size(), 1u);
  EXPECT_FALSE(c.failed_before_converting());

  // In the other modes the file's own version decides, whatever the format.
  dao_fake::the_world().files.clear();
  existing_file(0);
  c.set_mode(3);
  run();
  EXPECT_EQ(dialogs.shown.size(), 2u);
  EXPECT_TRUE(c.failed_before_converting());
  EXPECT_EQ(dao_fake::the_world().count_calls("OpenDatabase"), 0u);
  dao_fake::register_engine(CLSID_DBEngine35);
  run();
  EXPECT_EQ(written_table(u"EMP").rows.size(), 1u);
  EXPECT_TRUE(dao_fake::the_world().called("OpenDatabase(" + tk_to_utf8(dest_) + ", vt11:0, vt11:0, vt8:)"));
  EXPECT_EQ(dialogs.shown.size(), 2u);
}

TEST_F(DriverTest, ExistingTablesByMode) {
  // The file holds T with two rows; the source's T has three, and the
  // source's Id is text where the file's is a number.
  auto prepare = [&](int mode) {
    dao_fake::reset();
    dao_fake::database& file = existing_file();
    dao_fake::table& t = file.add_table(u"T");
    t.add_field(u"Id", dbLong);
    t.add_field(u"Note", dbText, 40);
    t.rows = {row(1, u"old"), row(2, u"old")};
    file.add_table(u"Keep").add_field(u"X", dbLong);
    log_ = source_log();
    test_converter& c = make();
    source_table source;
    source.columns = {{u"Id", VT_BSTR, 10}, {u"Note", VT_BSTR, 40}};
    for (const char16_t* id : {u"7", u"8", u"9"}) source.rows.push_back({ole_variant(id), ole_variant(u"new")});
    c.source().add_table(u"T", std::move(source));
    c.source().add_table(u"U", id_note_table(1));
    c.selected_tables() = {u"T", u"U"};
    c.set_mode(mode);
    run();
  };

  // Mode 2 leaves T alone and says nothing about it.
  prepare(2);
  EXPECT_EQ(written_table(u"T").rows.size(), 2u);
  EXPECT_EQ(out_, "Converting database ORCL(2 tables)\nConverting table U(1 records)\n");
  EXPECT_EQ(trace_text().find("Converting table T"), std::string::npos);
  EXPECT_TRUE(called("release T"));
  EXPECT_EQ(written_table(u"U").rows.size(), 1u);

  // Mode 3 appends to T as it is, without a structure check.
  prepare(3);
  dao_fake::table& merged = written_table(u"T");
  ASSERT_EQ(merged.rows.size(), 5u);
  EXPECT_EQ(merged.rows[4][1].to_wstring(), u"new");
  EXPECT_EQ(merged.fields[0]->type, dbLong);
  EXPECT_EQ(dao_fake::the_world().count_calls("CreateTableDef(T"), 0u);
  EXPECT_NE(out_.find("Converting table T(3 records)\n"), std::string::npos);

  // Mode 1 replaces T by the source's table.
  prepare(1);
  EXPECT_TRUE(dao_fake::the_world().called("TableDefs.Delete(T)"));
  dao_fake::table& replaced = written_table(u"T");
  ASSERT_EQ(replaced.rows.size(), 3u);
  EXPECT_EQ(replaced.fields[0]->type, dbText);
  EXPECT_EQ(replaced.rows[0][0].to_wstring(), u"7");
  EXPECT_EQ(written_names(), (std::vector<std::u16string>{u"Keep", u"T", u"U"}));
}

TEST_F(DriverTest, ReplacedTableThatDoesNotConformIsRefusedAndTheRunGoesOn) {
  dao_fake::database& file = existing_file();
  file.add_table(u"T").add_field(u"Code", dbText, 10);
  // The engine stores the new Code as a number, which text cannot go into.
  dao_fake::the_world().stored_types[u"Code"] = dbLong;
  test_converter& c = make();
  source_table source;
  source.columns = {{u"Code", VT_BSTR, 10}};
  source.rows = {{ole_variant(u"x")}};
  c.source().add_table(u"T", std::move(source));
  c.source().add_table(u"U", id_note_table(2));
  c.selected_tables() = {u"T", u"U"};
  c.set_mode(1);
  run();
  EXPECT_EQ(out_,
            "Converting database ORCL(2 tables)\n"
            "Error:\nT: The structure of data source does not conform to the destination table.\n"
            "Converting table U(2 records)\n");
  EXPECT_TRUE(written_table(u"T").rows.empty());
  EXPECT_FALSE(called("rewind T"));
  EXPECT_EQ(written_table(u"U").rows.size(), 2u);
  EXPECT_FALSE(c.failed_before_converting());
}

TEST_F(DriverTest, RefusedRecordIsReportedWithItsNumberAndTheNextOnesAreCopied) {
  test_converter& c = make();
  source_table t = id_note_table(5);
  t.on_fetch = [](size_t position) {
    if (position == 2) dao_fake::the_world().fail_next("Update", 3022, u"The changes you requested were not successful");
  };
  c.source().add_table(u"T", std::move(t));
  c.selected_tables() = {u"T"};
  run();
  EXPECT_EQ(out_, "Converting database ORCL(1 tables)\nConverting table T(5 records)\nError:\nT, record #3: " +
                      kDuplicate + "\n");
  std::vector<long> ids;
  for (const auto& r : written_table(u"T").rows) ids.push_back(r[0].to_long());
  EXPECT_EQ(ids, (std::vector<long>{1, 2, 4, 5}));
  EXPECT_FALSE(c.failed_before_converting());
  // The counters and the description are back to rest after the run.
  EXPECT_EQ(c.table_count(), 0);
  EXPECT_EQ(c.table_index(), 0);
  EXPECT_EQ(handler_.object_description(), "");
  EXPECT_EQ(c.record_index(), 5);
}

TEST_F(DriverTest, FieldLeftEmptyForARecordTooLargeIsReportedAfterTheRecordIsStored) {
  test_converter& c = make();
  source_table t = id_note_table(4);
  // Only the third record is too large, and only once its NOTE is written.
  t.on_fetch = [](size_t position) { dao_fake::the_world().too_large_field = position == 2 ? u"NOTE" : u""; };
  c.source().add_table(u"T", std::move(t));
  c.source().add_table(u"U", id_note_table(1));
  c.selected_tables() = {u"T", u"U"};
  run();
  EXPECT_EQ(out_, "Converting database ORCL(2 tables)\nConverting table T(4 records)\n"
                  "Error:\nT, record #3: Record is too large; field NOTE left empty.\n"
                  "Converting table U(1 records)\n");
  EXPECT_EQ(err_, "");
  const dao_fake::table& written_t = written_table(u"T");
  ASSERT_EQ(written_t.rows.size(), 4u);
  EXPECT_EQ(written_t.rows[2][0].to_long(), 3);
  EXPECT_EQ(written_t.rows[2][1].get_type(), VT_EMPTY);
  EXPECT_EQ(written_t.rows[3][1].to_wstring(), u"n");
  // Reported once the record was in: the report follows its Update.
  EXPECT_LT(trace_position("Commit new record into database"), trace_position("T, record #3: Record is too large"));
  EXPECT_FALSE(c.failed_before_converting());
  EXPECT_EQ(handler_.object_description(), "");

  // The wizard asks whether to go on, as for any refused record.
  dao_fake::the_world().files.clear();
  wizard_dialogs dialogs;
  handler_.set_front_end(&dialogs);
  c.selected_tables() = {u"T"};
  run();
  EXPECT_EQ(dialogs.asked, std::vector<std::string>{"T, record #3: Record is too large; field NOTE left empty."});
  EXPECT_EQ(written_table(u"T").rows.size(), 4u);
}

TEST_F(DriverTest, SourceErrorEndsOnlyItsTable) {
  test_converter& c = make();
  source_table t = id_note_table(4);
  t.on_fetch = [](size_t position) {
    if (position == 2) throw ora_exception(1017, "ORA-01017: invalid username/password; logon denied");
  };
  c.source().add_table(u"T", std::move(t));
  c.source().add_table(u"U", id_note_table(1));
  c.selected_tables() = {u"T", u"U"};
  run();
  EXPECT_EQ(out_,
            "Converting database ORCL(2 tables)\nConverting table T(4 records)\n"
            "Error:\nT: Invalid user name or password.\nConverting table U(1 records)\n");
  EXPECT_EQ(written_table(u"T").rows.size(), 2u);
  EXPECT_EQ(written_table(u"U").rows.size(), 1u);
  EXPECT_TRUE(called("release T"));
}

TEST_F(DriverTest, MissingSystemAndListedTablesAndTheCountersOnTheWay) {
  test_converter& c = make();
  source_table system;
  system.system = true;
  c.source().add_table(u"B_SYS", std::move(system));
  c.source().add_table(u"C", id_note_table(1));
  std::vector<int> seen;  // number of tables and entry index when C is read
  c.source().table(u"C").on_fetch = [&](size_t) {
    seen = {c.table_count(), c.table_index(), c.record_count()};
  };
  c.selected_tables() = {u"C", u"B_SYS", u"A_GONE"};
  run();
  EXPECT_EQ(err_, "Table A_GONE not exists\n");
  EXPECT_EQ(out_, "Converting database ORCL(3 tables)\nConverting table C(1 records)\n");
  EXPECT_FALSE(called("get_table A_GONE 1"));
  trace_position("Skip system/linked table 'B_SYS'");
  EXPECT_EQ(written_names(), std::vector<std::u16string>{u"C"});
  // Skipped entries count as entries.
  EXPECT_EQ(seen, (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(c.table_count(), 0);
  EXPECT_EQ(c.table_index(), 0);

  // Quiet: the same run prints nothing.
  dao_fake::the_world().files.clear();
  c.set_quiet(true);
  run();
  EXPECT_EQ(out_, "");
  EXPECT_EQ(err_, "");
  EXPECT_EQ(written_table(u"C").rows.size(), 1u);
}

TEST_F(DriverTest, AgentConvertsEveryTableWhenNothingIsSelected) {
  test_converter& c = make();
  c.source().add_table(u"EMP", id_note_table(2));
  c.source().add_table(u"DEPT", id_note_table(1));
  run();
  EXPECT_EQ(c.selected_tables(), (std::vector<std::u16string>{u"EMP", u"DEPT"}));
  EXPECT_EQ(written_names(), (std::vector<std::u16string>{u"DEPT", u"EMP"}));

  // A user query alone is the whole work.
  dao_fake::the_world().files.clear();
  c.selected_tables().clear();
  c.selected_objects() = {{u"RICH", u"SELECT 1"}};
  c.source().add_query(u"SELECT 1", id_note_table(1));
  run();
  EXPECT_EQ(out_, "Converting database ORCL(0 tables)\nConverting table RICH(1 records)\n");
  EXPECT_EQ(written_names(), std::vector<std::u16string>{u"RICH"});
}

TEST_F(DriverTest, WizardConvertsOnlyItsSelectionAndAsksNothingOfTheConsole) {
  wizard_dialogs dialogs;
  handler_.set_front_end(&dialogs);
  test_converter& c = make(dmw_front_end::wizard);
  c.source().add_table(u"EMP", id_note_table(2));
  run();
  EXPECT_TRUE(written().tables.empty());
  EXPECT_TRUE(written().closed);

  c.selected_tables() = {u"EMP", u"EMPTY"};
  c.source().add_table(u"EMPTY", id_note_table(0));
  dao_fake::the_world().files.clear();
  run();
  EXPECT_EQ(out_, "");
  EXPECT_EQ(err_, "");
  EXPECT_FALSE(called("exists EMP"));
  EXPECT_EQ(written_names(), (std::vector<std::u16string>{u"EMP", u"EMPTY"}));
  trace_position("Converting database ORCL (2 tables)");
  trace_position("Converting table EMP (2 records)");
}

TEST_F(DriverTest, DestinationThatCannotBeOpenedFailsTheRunBeforeAnyTable) {
  test_converter& c = make();
  c.source().add_table(u"EMP", id_note_table(1));
  c.selected_tables() = {u"EMP"};
  c.set_mode(1);
  // A file with an Access header that the engine cannot open.
  std::string header(4096, '\0');
  header[20] = 1;
  std::ofstream(folder_ / "out.mdb", std::ios::binary) << header;
  run();
  EXPECT_EQ(out_, "Error:\nCould not find file '" + tk_to_utf8(dest_) + "'.\n");
  EXPECT_TRUE(c.failed_before_converting());
  EXPECT_TRUE(c.is_finished());
  EXPECT_TRUE(log_.calls.empty());
  // Reported before the run's end banner.
  EXPECT_LT(trace_position("Error:\nCould not find file"), trace_position("Conversion ended on "));
  EXPECT_LT(trace_position("dao_engine::dtor"), trace_position("init_conversion::dtor"));
}

TEST_F(DriverTest, ErrorThatEndsTheRunIsReportedAfterTheFileIsClosed) {
  wizard_dialogs dialogs;
  handler_.set_front_end(&dialogs);
  test_converter& c = make(dmw_front_end::wizard);
  c.source().add_table(u"A", id_note_table(1));
  c.source().add_table(u"B", id_note_table(3));
  c.source().add_table(u"C", id_note_table(1));
  c.source().table(u"B").on_fetch = [](size_t position) {
    if (position == 1) throw tk_exception("The Oracle session was lost.", 1);
  };
  bool closed_when_shown = false;
  dialogs.on_error = [&] { closed_when_shown = written().closed && log_.open_streams == 0; };
  c.selected_tables() = {u"A", u"B", u"C"};
  run();
  EXPECT_EQ(dialogs.shown, std::vector<std::string>{"B: The Oracle session was lost."});
  EXPECT_TRUE(closed_when_shown);
  EXPECT_EQ(written_names(), (std::vector<std::u16string>{u"A", u"B"}));
  EXPECT_EQ(written_table(u"B").rows.size(), 1u);
  EXPECT_TRUE(c.is_finished());
  // Inside a table, so not a failure before converting; the counters keep their values.
  EXPECT_FALSE(c.failed_before_converting());
  EXPECT_EQ(c.table_index(), 1);
  EXPECT_EQ(c.table_count(), 3);
  EXPECT_EQ(handler_.object_description(), "B");
  // Released in reverse order of creation.
  EXPECT_LT(trace_position("udb_database::dtor"), trace_position("dao_engine::dtor"));
  EXPECT_LT(trace_position("dao_engine::dtor"), trace_position("init_conversion::dtor"));
}

TEST_F(DriverTest, AbortOnARecordEndsTheRunQuietly) {
  wizard_dialogs dialogs;
  dialogs.abort = true;
  handler_.set_front_end(&dialogs);
  test_converter& c = make(dmw_front_end::wizard);
  source_table t = id_note_table(4);
  t.on_fetch = [](size_t position) {
    if (position == 1) dao_fake::the_world().fail_next("Update", 3022, u"duplicate");
  };
  c.source().add_table(u"T", std::move(t));
  c.source().add_table(u"U", id_note_table(1));
  c.selected_tables() = {u"T", u"U"};
  run();
  EXPECT_EQ(dialogs.asked, std::vector<std::string>{"T, record #2: " + kDuplicate});
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(written_names(), std::vector<std::u16string>{u"T"});
  EXPECT_EQ(written_table(u"T").rows.size(), 1u);
  EXPECT_TRUE(written().closed);
  EXPECT_TRUE(c.is_finished());
  trace_position("Conversion ended on ");
  EXPECT_FALSE(c.failed_before_converting());

  // Continue instead: every other record arrives.
  dialogs.abort = false;
  dialogs.asked.clear();
  dao_fake::the_world().files.clear();
  run();
  EXPECT_EQ(dialogs.asked.size(), 1u);
  EXPECT_EQ(written_table(u"T").rows.size(), 3u);
  EXPECT_EQ(written_table(u"U").rows.size(), 1u);
}

TEST_F(DriverTest, StopRequestEndsTheRunAfterTheCurrentRecordAndKeepsWhatWasWritten) {
  existing_file().add_table(u"OLD");
  test_converter& c = make(dmw_front_end::wizard);
  source_table t = id_note_table(4);
  t.on_fetch = [&c](size_t position) {
    if (position == 2) c.request_stop();  // as the user's thread would, mid-record
  };
  c.source().add_table(u"T", std::move(t));
  c.source().add_table(u"U", id_note_table(1));
  c.selected_tables() = {u"T", u"U"};
  run();
  // Mode 0: the new file, with the records copied so far, took the old one's place.
  EXPECT_EQ(written_names(), std::vector<std::u16string>{u"T"});
  EXPECT_EQ(written_table(u"T").rows.size(), 3u);
  EXPECT_TRUE(written().closed);
  EXPECT_TRUE(c.is_finished());
  EXPECT_FALSE(c.failed_before_converting());
  EXPECT_LT(trace_position("Conversion stopped at the user's request"), trace_position("Conversion ended on "));
  EXPECT_FALSE(fs::exists(tk_to_utf8(dao_build_name(dest_))));

  // A request made before the run converts nothing; clearing it lets the next run go.
  c.source().table(u"T").on_fetch = nullptr;
  dao_fake::the_world().files.clear();
  run();
  EXPECT_TRUE(written_names().empty());
  c.clear_stop();
  dao_fake::the_world().files.clear();
  run();
  EXPECT_EQ(written_table(u"T").rows.size(), 4u);
  EXPECT_EQ(written_table(u"U").rows.size(), 1u);
}

TEST_F(DriverTest, AFullOrFailingDiskEndsTheRunWithOneReportAfterTheFileIsClosed) {
  struct refusal {
    LONG number;
    const char16_t* text;
    const char* shown;
  };
  // What every later record would meet again; another 3001 stays a record's error.
  const refusal refusals[] = {{3026, u"Not enough space on disk.", "T: Not enough space on disk."},
                              {3043, u"Disk or network error.", "T: Disk or network error."},
                              {3001, u"Invalid argument.", "T: Invalid argument."}};
  for (const refusal& r : refusals) {
    SCOPED_TRACE(r.number);
    wizard_dialogs dialogs;
    handler_.set_front_end(&dialogs);
    test_converter& c = make(dmw_front_end::wizard);
    source_table t = id_note_table(5);
    // From the third record on, every update is refused.
    t.on_fetch = [&r](size_t position) {
      if (position >= 2) dao_fake::the_world().fail_next("Update", r.number, r.text);
    };
    c.source().add_table(u"T", std::move(t));
    c.source().add_table(u"U", id_note_table(1));
    c.selected_tables() = {u"T", u"U"};
    bool closed_when_shown = false;
    dialogs.on_error = [&] { closed_when_shown = written().closed && log_.open_streams == 0; };
    run();
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{r.shown});
    EXPECT_TRUE(dialogs.asked.empty()) << dialogs.asked[0];
    EXPECT_TRUE(closed_when_shown);
    EXPECT_EQ(written_names(), std::vector<std::u16string>{u"T"});
    EXPECT_EQ(written_table(u"T").rows.size(), 2u);
    EXPECT_TRUE(c.is_finished());
    EXPECT_FALSE(c.failed_before_converting());
    handler_.set_front_end(nullptr);
    dao_fake::the_world().files.clear();
  }

  // A 3001 of another text is the record's own: the run goes on.
  test_converter& c = make();
  source_table t = id_note_table(3);
  t.on_fetch = [](size_t position) {
    if (position == 1) dao_fake::the_world().fail_next("Update", 3001, u"This value cannot be indexed yet.");
  };
  c.source().add_table(u"T", std::move(t));
  c.selected_tables() = {u"T"};
  run();
  EXPECT_EQ(out_, "Converting database ORCL(1 tables)\nConverting table T(3 records)\nError:\nT, record #2: "
                  "This value cannot be indexed yet.\n");
  EXPECT_EQ(written_table(u"T").rows.size(), 2u);
}

TEST_F(DriverTest, StandardExceptionEndsTheRunWithItsTextOnStandardError) {
  test_converter& c = make();
  c.source().add_table(u"A", id_note_table(1));
  c.source().add_table(u"B", id_note_table(2));
  c.source().add_table(u"C", id_note_table(1));
  c.source().table(u"B").on_fetch = [](size_t) { throw std::runtime_error("out of memory"); };
  c.selected_tables() = {u"A", u"B", u"C"};
  run();
  EXPECT_EQ(err_, "out of memory\n");
  EXPECT_EQ(c.run_failure(), "out of memory");
  EXPECT_EQ(written_names(), (std::vector<std::u16string>{u"A", u"B"}));
  EXPECT_TRUE(written().closed);
  EXPECT_TRUE(c.is_finished());
  EXPECT_FALSE(c.failed_before_converting());
  trace_position("ERROR:\nout of memory");
}

TEST_F(DriverTest, ModeZeroPutsTheNewFileInPlaceOnlyWhenTheRunHasFinished) {
  const std::u16string build = dao_build_name(dest_);
  existing_file().add_table(u"OLD");
  const std::string old_bytes = read_all(folder_ / "out.mdb");
  wizard_dialogs dialogs;
  handler_.set_front_end(&dialogs);
  test_converter& c = make(dmw_front_end::wizard);
  c.source().add_table(u"A", id_note_table(2));
  c.selected_tables() = {u"A"};
  // Ends by an error, a user's cancel, a standard exception: the old file stays as it was.
  const std::function<void(size_t)> endings[] = {
      [](size_t) { throw tk_exception("The Oracle session was lost.", 1); },
      [](size_t) { throw tk_final_exception(); },
      [](size_t) { throw std::runtime_error("out of memory"); }};
  for (const auto& ending : endings) {
    c.source().table(u"A").on_fetch = ending;
    run();
    EXPECT_EQ(read_all(folder_ / "out.mdb"), old_bytes);
    EXPECT_EQ(written_names(), std::vector<std::u16string>{u"OLD"});
    EXPECT_FALSE(fs::exists(tk_to_utf8(build)));
  }
  // The report of a refused record still lets the run finish.
  c.source().table(u"A").on_fetch = [](size_t position) {
    if (position == 0) dao_fake::the_world().fail_next("Update", 3022, u"duplicate");
  };
  dao_fake::the_world().calls.clear();
  run();
  EXPECT_EQ(written_names(), std::vector<std::u16string>{u"A"});
  EXPECT_EQ(written_table(u"A").rows.size(), 1u);
  EXPECT_TRUE(written().closed);
  EXPECT_FALSE(fs::exists(tk_to_utf8(build)));
  // The old file was held while the new one took its place, after the new one was closed.
  const auto& calls = dao_fake::the_world().calls;
  const auto hold = std::find(calls.begin(), calls.end(), "OpenDatabase(" + tk_to_utf8(dest_) + ", vt11:1, vt11:0, vt8:)");
  EXPECT_NE(hold, calls.end());
  EXPECT_LT(std::find(calls.begin(), calls.end(), "Database.Close"), hold);
  // The user is told of the file they named.
  EXPECT_NE(trace_text().find("Creating MS Access database '" + tk_to_utf8(dest_) + "'"), std::string::npos);
}

TEST_F(DriverTest, ModeZeroLeavesAFileHeldByAnotherUserAndRemovesOnlyADeadRunsBuildFile) {
  const std::u16string build = dao_build_name(dest_);
  wizard_dialogs dialogs;
  handler_.set_front_end(&dialogs);
  test_converter& c = make(dmw_front_end::wizard);
  c.source().add_table(u"A", id_note_table(1));
  c.selected_tables() = {u"A"};
  // Left by a run that died: not a database, so nobody's.
  std::ofstream(tk_to_utf8(build), std::ios::binary) << "half a file";
  run();
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(written_names(), std::vector<std::u16string>{u"A"});
  EXPECT_FALSE(fs::exists(tk_to_utf8(build)));

  // Someone holds the destination when the run would replace it.
  existing_file().add_table(u"OLD");
  const std::string old_bytes = read_all(folder_ / "out.mdb");
  dao_fake::the_world().fail_next("OpenDatabase", 3045, u"Could not use '" + dest_ + u"'; file already in use.");
  run();
  EXPECT_EQ(dialogs.shown, std::vector<std::string>{"Could not use '" + tk_to_utf8(dest_) + "'; file already in use."});
  EXPECT_EQ(read_all(folder_ / "out.mdb"), old_bytes);
  EXPECT_FALSE(fs::exists(tk_to_utf8(build)));
  EXPECT_TRUE(c.is_finished());
}
