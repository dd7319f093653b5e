// dmwagent converting a small Oracle schema served by ocilite: its console
// lines, the errors it reports and the exit code it ends with.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

#include "DAO/dao_engi.h"
#include "agent_run.h"
#include "ocilite_schema.h"
#include "jet/dao/register.h"

namespace fs = std::filesystem;

namespace {
const std::string kSchema =
    "CREATE TABLE T (ID NUMBER(4) PRIMARY KEY, NAME VARCHAR2(20));\n"
    "INSERT INTO T VALUES (1, 'one');\n"
    "INSERT INTO T VALUES (2, 'two');\n"
    "INSERT INTO T VALUES (3, 'three');\n"
    "CREATE TABLE EMPTY_ONE (X NUMBER(4));\n";

const std::string kDuplicate =
    "Duplicate field values being used for an unique index were found. See 'Troubleshooting' article of the "
    "product documentation for solution.";

class AgentConversion : public ::testing::Test {
 protected:
  void SetUp() override {
    make_ocilite_schema(folder, kSchema, env);
  }
  // Table BIG, listed in big.txt: 400 rows of 1500 characters, far more than
  // the engine holds before writing.
  void load_big_table() {
    std::string schema = "CREATE TABLE BIG (ID NUMBER(6) PRIMARY KEY, TEXT VARCHAR2(2000));\n";
    for (int i = 1; i <= 400; ++i) {
      std::string text(1500, 'a');
      for (size_t at = 0; at < text.size(); ++at) text[at] = char('a' + (at * 7 + size_t(i)) % 26);
      schema += "INSERT INTO BIG VALUES (" + std::to_string(i) + ", '" + text + "');\n";
    }
    run_ocilite_script(folder, "big.sql", schema);
    folder.write("big.txt", "BIG\n");
  }
  agent_run run(std::vector<std::string> args) {
    args.insert(args.end(), {"--src=DB", "--oraclu=scott", "--oraclp=tiger"});
    return run_agent(args, folder.path(), env);
  }

  scratch_folder folder;
  std::vector<std::string> env;
};
}  // namespace

TEST_F(AgentConversion, EveryTableByDefaultAndTheListedOnesOtherwise) {
  agent_run r = run({"--dest=out", "--acc_ver=1"});
  EXPECT_EQ(r.out, "Converting database DB(2 tables)\nConverting table EMPTY_ONE(0 records)\n"
                   "Converting table T(3 records)\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_code, 0);
  const std::string written = read_file(folder / "out.mdb");
  ASSERT_GT(written.size(), 4096u);
  EXPECT_EQ(written[0x14], 1) << "the version byte of an Access 2000 file";

  // A listed table the schema lacks is named on standard error; the run goes on.
  folder.write("tables.txt", "NOPE\nT\n");
  r = run({"--dest=listed", "--acc_ver=1", "--tab_file=tables.txt"});
  EXPECT_EQ(r.out, "Converting database DB(2 tables)\nConverting table T(3 records)\n");
  EXPECT_EQ(r.err, "Table NOPE not exists\n");
  EXPECT_EQ(r.exit_code, 0);

  r = run({"--dest=quiet", "--acc_ver=1", "--tab_file=tables.txt", "--silent"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(fs::exists(folder / "quiet.mdb"));

  // The trace file holds the banners and the database and table lines.
  r = run({"--dest=logged", "--acc_ver=1", "--tab_file=tables.txt", "--logfile=run.log"});
  EXPECT_EQ(r.exit_code, 0);
  const std::string trace = read_file(folder / "run.log");
  size_t at = 0;
  for (const std::string& line :
       {std::string("Conversion started on "), "Creating MS Access database '" + (folder / "logged.mdb").string() + "'\r\n",
        std::string("Converting database DB (2 tables)\r\n"), std::string("Converting table T (3 records)\r\n"),
        std::string("Conversion ended on ")}) {
    const size_t found = trace.find(line, at);
    ASSERT_NE(found, std::string::npos) << line << " missing or out of order in\n" << trace;
    at = found + line.size();
  }
}

TEST_F(AgentConversion, RefusedRecordsAreReportedAndTheRunStillSucceeds) {
  ASSERT_EQ(run({"--dest=out", "--acc_ver=1"}).exit_code, 0);
  // Merging the same rows again breaks T's primary key on every record.
  folder.write("tables.txt", "T\n");
  agent_run r = run({"--dest=out", "--acc_ver=1", "--mode=3", "--tab_file=tables.txt"});
  EXPECT_EQ(r.out, "Converting database DB(1 tables)\nConverting table T(3 records)\n"
                   "Error:\nT, record #1: " + kDuplicate + "\nError:\nT, record #2: " + kDuplicate +
                   "\nError:\nT, record #3: " + kDuplicate + "\n");
  EXPECT_EQ(r.exit_code, 0);

  // Skipping existing tables leaves them without a word.
  r = run({"--dest=out", "--acc_ver=1", "--mode=2", "--tab_file=tables.txt"});
  EXPECT_EQ(r.out, "Converting database DB(1 tables)\n");
  EXPECT_EQ(r.exit_code, 0);
}

TEST_F(AgentConversion, RunThatCannotOpenItsDestinationEndsWithAFailureExitCode) {
  // An Access 2000 header and nothing behind it.
  std::string header(4096, '\0');
  header[20] = 1;
  folder.write("broken.mdb", header);
  agent_run r = run({"--dest=broken", "--acc_ver=1", "--mode=3"});
  EXPECT_EQ(r.out.rfind("Error:\n", 0), 0u) << r.out;
  EXPECT_EQ(r.out.find("Converting"), std::string::npos) << r.out;
  EXPECT_EQ(r.exit_code, 255);
  EXPECT_EQ(read_file(folder / "broken.mdb"), header);

  r = run({"--dest=broken", "--acc_ver=1", "--mode=3", "--silent"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.exit_code, 255);
}

TEST_F(AgentConversion, RunWithoutTheEngineOfTheFormatEndsWithAFailureExitCode) {
  // No engine serves Access 2007 files (version byte 2): merging into one fails before any table.
  std::string header(4096, '\0');
  header.replace(4, 16, std::string("Standard ACE DB\0", 16));
  header[0x14] = 2;
  folder.write("new.mdb", header);
  agent_run r = run({"--dest=new.mdb", "--acc_ver=1", "--mode=3"});
  EXPECT_EQ(r.out,
            "Error:\nFailed to load Data Access Objects (DAO) support library. Microsoft Access installation is "
            "required to proceed with the application. \n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_code, 255);
  EXPECT_EQ(read_file(folder / "new.mdb"), header);
}

TEST_F(AgentConversion, ExistingDestinationThatIsNoAccessFileEndsTheRun) {
  folder.write("old.mdb", "plain text, no Access header");
  agent_run r = run({"--dest=old.mdb", "--acc_ver=1", "--mode=3", "--logfile=run.log"});
  const std::string path = (folder / "old.mdb").string();
  EXPECT_EQ(r.out, "Error:\nFile '" + path + "' does not comply with MS Access format.\n");
  EXPECT_EQ(r.exit_code, 255);
  // Modes other than 0 never delete or rewrite the file.
  EXPECT_EQ(read_file(folder / "old.mdb"), "plain text, no Access header");
  const std::string trace = read_file(folder / "run.log");
  EXPECT_NE(trace.find("Conversion started on "), std::string::npos) << trace;
  EXPECT_NE(trace.find("Error:\nFile '" + path + "' does not comply"), std::string::npos) << trace;
}

namespace {
// Files the agent writes may not grow past `bytes` while this lives: the
// limit and the ignored SIGXFSZ pass to the agent through fork and exec, so
// its writes past the limit fail with EFBIG as on a full disk.
class agent_file_size_limit {
 public:
  explicit agent_file_size_limit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~agent_file_size_limit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, old_handler_);
  }
  agent_file_size_limit(const agent_file_size_limit&) = delete;
  agent_file_size_limit& operator=(const agent_file_size_limit&) = delete;

 private:
  rlimit saved_{};
  void (*old_handler_)(int) = nullptr;
};
}  // namespace

TEST_F(AgentConversion, AFullDiskEndsTheRunWithOneErrorAndAFailureExitCode) {
  load_big_table();

  // The definitions alone fit; the rows do not.
  agent_run r = run({"--dest=defs", "--acc_ver=1", "--tab_file=big.txt", "--tab_def"});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  const rlim_t room = rlim_t(fs::file_size(folder / "defs.mdb")) + 16 * 4096;
  {
    agent_file_size_limit limit(room);
    r = run({"--dest=full", "--acc_ver=1", "--tab_file=big.txt"});
  }
  EXPECT_EQ(r.out, "Converting database DB(1 tables)\nConverting table BIG(400 records)\nError:\n"
                   "BIG: Not enough space on disk.\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_code, 255);
  // Nothing of the half-made file is left.
  EXPECT_FALSE(fs::exists(folder / "full.mdb"));
  EXPECT_FALSE(fs::exists(folder / ".full.mdb.dmwtmp"));
}

TEST_F(AgentConversion, FieldsLeftEmptyForATooLargeRecordAreReportedAndTheRunSucceeds) {
  // Thirty full 250-character texts are more than an Access 2000 record holds.
  std::string columns, short_row, full_row;
  for (int i = 1; i <= 30; ++i) {
    columns += ", S" + std::to_string(i) + " VARCHAR2(250)";
    short_row += ", 'v" + std::to_string(i) + "'";
    full_row += ", '" + std::string(250, static_cast<char>('a' + i % 26)) + "'";
  }
  run_ocilite_script(folder, "wide.sql",
                     "CREATE TABLE WIDE (ID NUMBER(4) PRIMARY KEY" + columns + ");\n" +
                         "INSERT INTO WIDE VALUES (1" + short_row + ");\n" +
                         "INSERT INTO WIDE VALUES (2" + short_row + ");\n" +
                         "INSERT INTO WIDE VALUES (3" + full_row + ");\n" +
                         "INSERT INTO WIDE VALUES (4" + short_row + ");\n");
  folder.write("tables.txt", "WIDE\n");
  agent_run r = run({"--dest=wide", "--acc_ver=1", "--tab_file=tables.txt"});
  ASSERT_EQ(r.out.rfind("Converting database DB(1 tables)\nConverting table WIDE(4 records)\n"
                        "Error:\nWIDE, record #3: Record is too large; field S", 0), 0u) << r.out;
  // One report for each field left empty, from the first that did not fit to the last.
  const size_t first = r.out.find("field S") + 7;
  const int first_dropped = std::stoi(r.out.substr(first));
  std::string expected = "Converting database DB(1 tables)\nConverting table WIDE(4 records)\n";
  for (int i = first_dropped; i <= 30; ++i)
    expected += "Error:\nWIDE, record #3: Record is too large; field S" + std::to_string(i) + " left empty.\n";
  EXPECT_EQ(r.out, expected);
  EXPECT_GT(first_dropped, 1);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_code, 0);
}

// Mode 0 builds the new file beside the destination and puts it in place only
// when the run has finished; until then the old file is untouched.
TEST_F(AgentConversion, ModeZeroReplacesTheDestinationOnlyWhenTheRunHasFinished) {
  const std::string old_bytes = "the previous conversion";
  folder.write("out.mdb", old_bytes);
  agent_run r = run_agent({"--dest=out", "--src=DB", "--acc_ver=1", "--oraclu=scott", "--oraclp=wrong"},
                          folder.path(), env);
  EXPECT_EQ(r.exit_code, 255) << r.out << r.err;
  EXPECT_EQ(read_file(folder / "out.mdb"), old_bytes);
  EXPECT_FALSE(fs::exists(folder / ".out.mdb.dmwtmp"));

  // A full disk ends the run half-way, in either format.
  load_big_table();
  for (const std::string version : {"1", "0"}) {
    r = run({"--dest=defs" + version, "--acc_ver=" + version, "--tab_file=big.txt", "--tab_def"});
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    const rlim_t room = rlim_t(fs::file_size(folder / ("defs" + version + ".mdb"))) + 16 * 4096;
    {
      agent_file_size_limit limit(room);
      r = run({"--dest=out", "--acc_ver=" + version, "--tab_file=big.txt", "--logfile=full.log"});
    }
    EXPECT_EQ(r.out, "Converting database DB(1 tables)\nConverting table BIG(400 records)\nError:\n"
                     "BIG: Not enough space on disk.\n") << "--acc_ver=" << version;
    EXPECT_EQ(r.exit_code, 255);
    EXPECT_EQ(read_file(folder / "out.mdb"), old_bytes) << "--acc_ver=" << version;
    EXPECT_FALSE(fs::exists(folder / ".out.mdb.dmwtmp"));
    // The user's file name is the one the trace gives, never the build file's.
    const std::string trace = read_file(folder / "full.log");
    EXPECT_NE(trace.find("Creating MS Access database '" + (folder / "out.mdb").string() + "'"), std::string::npos)
        << trace;
    EXPECT_EQ(trace.find("dmwtmp'"), std::string::npos) << trace;
  }

  // A finished run replaces it, records refused on the way or not.
  r = run({"--dest=out", "--acc_ver=1"});
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  const std::string written = read_file(folder / "out.mdb");
  ASSERT_GT(written.size(), 4096u);
  EXPECT_EQ(written[0x14], 1);
  for (const fs::directory_entry& entry : fs::directory_iterator(folder.path()))
    EXPECT_EQ(entry.path().string().find("dmwtmp"), std::string::npos) << entry.path();
}

TEST_F(AgentConversion, BuildFileOfARunThatDiedIsRemovedAndTheRunSucceeds) {
  folder.write("out.mdb", "old");
  // Left by a run killed half-way: no database at all, or one nobody holds.
  folder.write(".out.mdb.dmwtmp", "half a file");
  agent_run r = run({"--dest=out", "--acc_ver=1"});
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_FALSE(fs::exists(folder / ".out.mdb.dmwtmp"));
  const std::string first = read_file(folder / "out.mdb");
  EXPECT_EQ(first[0x14], 1);

  fs::copy_file(folder / "out.mdb", folder / ".out.mdb.dmwtmp");
  r = run({"--dest=out", "--acc_ver=0"});
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_FALSE(fs::exists(folder / ".out.mdb.dmwtmp"));
  EXPECT_EQ(read_file(folder / "out.mdb")[0x14], 0) << "the new Access 97 file is in place";
}

TEST_F(AgentConversion, ModeZeroLeavesADestinationAnotherProcessHoldsAsItIs) {
  jet_register_dao_engine();
  ASSERT_EQ(run({"--dest=out", "--acc_ver=1"}).exit_code, 0);
  const std::string before = read_file(folder / "out.mdb");
  const std::string in_use = "Error:\nCould not use '" + (folder / "out.mdb").string() + "'; file already in use.\n";
  dao_engine engine(false);
  engine.set_version(dao_engine::access_2000);
  {
    // This test process is the other user of the file.
    std::unique_ptr<udb_database> held = engine.open_db((folder / "out.mdb").u16string(), dao_engine::mode_opened, u"");
    agent_run r = run({"--dest=out", "--acc_ver=1"});
    EXPECT_EQ(r.out, in_use);
    EXPECT_EQ(r.exit_code, 255);
    EXPECT_EQ(read_file(folder / "out.mdb"), before);
    EXPECT_FALSE(fs::exists(folder / ".out.mdb.dmwtmp"));
  }
  {
    // A second mode-0 run finds the first one's build file in use and leaves it.
    std::unique_ptr<udb_database> first_run = engine.create_db((folder / ".out.mdb.dmwtmp").u16string());
    agent_run r = run({"--dest=out", "--acc_ver=1"});
    EXPECT_EQ(r.out, in_use);
    EXPECT_EQ(r.exit_code, 255);
    EXPECT_EQ(read_file(folder / "out.mdb"), before);
    EXPECT_TRUE(fs::exists(folder / ".out.mdb.dmwtmp"));
  }
}

// Modes 1 to 3 write into the existing file: a full disk undoes the whole
// run, and a file someone else has open is not written at all.
TEST_F(AgentConversion, ModesThatWriteIntoTheFileLeaveItAsItWasWhenTheDiskIsFullOrItIsInUse) {
  load_big_table();
  folder.write("small.txt", "T\n");
  ASSERT_EQ(run({"--dest=out", "--acc_ver=1", "--tab_file=small.txt"}).exit_code, 0);
  const std::string before = read_file(folder / "out.mdb");
  const rlim_t room = rlim_t(before.size()) + 16 * 4096;
  for (const std::string mode : {"1", "3"}) {
    agent_run r;
    {
      agent_file_size_limit limit(room);
      r = run({"--dest=out", "--acc_ver=1", "--mode=" + mode, "--tab_file=big.txt"});
    }
    EXPECT_EQ(r.exit_code, 255) << "--mode=" << mode << r.out << r.err;
    EXPECT_NE(r.out.find("BIG: Not enough space on disk.\n"), std::string::npos) << r.out;
    EXPECT_TRUE(read_file(folder / "out.mdb") == before) << "--mode=" << mode;
    EXPECT_FALSE(fs::exists(folder / "out.mdb-journal"));
  }

  jet_register_dao_engine();
  dao_engine engine(false);
  engine.set_version(dao_engine::access_2000);
  const std::string in_use = "Could not use '" + (folder / "out.mdb").string() + "'; file already in use.";
  for (uint32_t how : {dao_engine::mode_opened, dao_engine::mode_read_only}) {
    // This test process is the other user: a writer, or a reader who must
    // never see pages half-written.
    std::unique_ptr<udb_database> held = engine.open_db((folder / "out.mdb").u16string(), how, u"");
    for (const std::string mode : {"1", "2", "3"}) {
      agent_run r = run({"--dest=out", "--acc_ver=1", "--mode=" + mode});
      EXPECT_NE(r.out.find(in_use), std::string::npos) << "--mode=" << mode << ": " << r.out;
      EXPECT_EQ(r.exit_code, 255);
      EXPECT_TRUE(read_file(folder / "out.mdb") == before);
    }
  }
}
