// The agent's parser, table-names reader and destination check, called in
// the process with the singletons the program entry creates.
#include <gtest/gtest.h>

#include <unistd.h>

#include <optional>

#include "DAO/dao_engi.h"
#include "DAO/dao_excp.h"
#include "TK/tk_excep.h"
#include "TK/tk_trace.h"
#include "agent/agt_cmdl.h"
#include "agent/agt_dest.h"
#include "agent/agt_tabf.h"
#include "agent_run.h"
#include "common/dmw_conv.h"
#include "common/err_hand.h"
#include "common/err_text.h"
#include "jet/dao/register.h"

namespace fs = std::filesystem;

namespace {
class AgentParse : public ::testing::Test {
 protected:
  AgentParse() : log("", false, 3, false), handler(dmw_oracle_error_text_count, dmw_oracle_error_texts) {
    old_cwd = fs::current_path();
    fs::current_path(folder.path());
    // The agent must not touch the registry: point the store at our folder.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg) old_xdg = xdg;
    ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    converter.emplace(dmw_front_end::agent);
  }
  ~AgentParse() override {
    converter.reset();
    EXPECT_FALSE(fs::exists(folder / "config"));
    if (old_xdg) ::setenv("XDG_CONFIG_HOME", old_xdg->c_str(), 1);
    else ::unsetenv("XDG_CONFIG_HOME");
    fs::current_path(old_cwd);
  }

  bool parse(std::vector<std::string> args) {
    args.insert(args.begin(), "dmwagent");
    std::vector<const char*> argv;
    for (auto& a : args) argv.push_back(a.c_str());
    return parse_cmd_line(static_cast<int>(argv.size()), argv.data());
  }
  std::u16string here(const std::string& name) {
    return (folder.path() / name).u16string();
  }

  scratch_folder folder;
  fs::path old_cwd;
  std::optional<std::string> old_xdg;
  tk_trace log;
  error_handler handler;
  std::optional<dunmarrow_convertor> converter;
};
}  // namespace

TEST_F(AgentParse, DefaultsAndRequiredOptionsOnly) {
  EXPECT_EQ(converter->destination_format(), dunmarrow_convertor::format_not_given);
  ASSERT_TRUE(parse({"--dest=out", "--src=ORCL", "--acc_ver=0"}));
  EXPECT_EQ(converter->dest_name(), here("out.mdb"));
  EXPECT_EQ(converter->source_name(), u"ORCL");
  EXPECT_EQ(converter->destination_format(), 0);
  EXPECT_EQ(converter->mode(), 0);
  EXPECT_FALSE(converter->skip_indexes());
  EXPECT_FALSE(converter->only_definitions());
  EXPECT_EQ(converter->oracle_host(), u"localhost");
  EXPECT_EQ(converter->oracle_port(), u"1521");
  EXPECT_EQ(converter->oracle_user(), u"");
  EXPECT_EQ(converter->oracle_password(), u"");
  EXPECT_FALSE(converter->is_quiet());
}

TEST_F(AgentParse, EveryOptionReachesItsSetting) {
  ASSERT_TRUE(parse({"--acc_ver=7", "--dest=/data/out.accdb", "--mode=1", "--oraclh=db.example",
                     "--oraclp=tiger", "--oraclu=scott", "--port=1522", "--skip_idx", "--src=ORCL",
                     "--tab_def", "--silentX"}));
  EXPECT_EQ(converter->destination_format(), 7);  // no range check here
  EXPECT_EQ(converter->dest_name(), u"/data/out.mdb");
  EXPECT_EQ(converter->mode(), 1);
  EXPECT_EQ(converter->oracle_host(), u"db.example");
  EXPECT_EQ(converter->oracle_password(), u"tiger");
  EXPECT_EQ(converter->oracle_user(), u"scott");
  EXPECT_EQ(converter->oracle_port(), u"1522");
  EXPECT_TRUE(converter->skip_indexes());
  EXPECT_TRUE(converter->only_definitions());
  EXPECT_TRUE(converter->is_quiet());
  EXPECT_TRUE(handler.do_not_show());
}

TEST_F(AgentParse, DestinationIsCompletedAndAlwaysEndsInMdb) {
  fs::create_directory(folder / "sub");
  ASSERT_TRUE(parse({"--dest=sub/../sub/out.txt", "--src=S", "--acc_ver=1"}));
  EXPECT_EQ(converter->dest_name(), here("sub/out.mdb"));
  ASSERT_TRUE(parse({"--dest=my database", "--src=S", "--acc_ver=1"}));
  EXPECT_EQ(converter->dest_name(), here("my database.mdb"));
  ASSERT_TRUE(parse({"--dest=a.b.mdb", "--src=S", "--acc_ver=1"}));
  EXPECT_EQ(converter->dest_name(), here("a.b.mdb"));
}

TEST_F(AgentParse, AcceptedModeAndFormatTexts) {
  ASSERT_TRUE(parse({"--dest=o", "--src=S", "--acc_ver=abc", "--mode=3"}));
  EXPECT_EQ(converter->destination_format(), 0);  // not a number
  EXPECT_EQ(converter->mode(), 3);
  ASSERT_TRUE(parse({"--acc_ver=1x", "--mode=2"}));
  EXPECT_EQ(converter->destination_format(), 1);
  EXPECT_EQ(converter->mode(), 2);
}

TEST_F(AgentParse, UnmatchedArgumentsRefuseTheLineAfterEveryOptionWasApplied) {
  EXPECT_FALSE(parse({"--dest", "--src=ORCL", "--oraclh=srv", "stray"}));
  EXPECT_EQ(converter->source_name(), u"ORCL");
  // The Oracle settings are stored only from a line that is accepted.
  EXPECT_EQ(converter->oracle_host(), u"");
}

TEST_F(AgentParse, ProfileBeforeOptionsIsOverriddenAndAfterThemOverrides) {
  folder.write("p.dmw",
               "[Generic settings]\r\ndest=/srv/from_profile.mdb\r\nmode=2\r\nsrc=PROF\r\n\r\n"
               "[MS Access settings]\r\ndestination format=0\r\n\r\n"
               "[Oracle settings]\r\nhost=profhost\r\nport=1600\r\nuser=puser\r\n\r\n"
               "[Selected Tables]\r\nEMP\r\n");
  ASSERT_TRUE(parse({"--profile=p.dmw", "--dest=x.mdb", "--oraclh=srv", "--oraclu=me"}));
  EXPECT_EQ(converter->dest_name(), here("x.mdb"));
  EXPECT_EQ(converter->source_name(), u"PROF");
  EXPECT_EQ(converter->mode(), 2);
  EXPECT_EQ(converter->destination_format(), 0);
  // The profile's Oracle settings stand.
  EXPECT_EQ(converter->oracle_host(), u"profhost");
  EXPECT_EQ(converter->oracle_port(), u"1600");
  EXPECT_EQ(converter->oracle_user(), u"puser");
  EXPECT_EQ(converter->selected_tables(), std::vector<std::u16string>{u"EMP"});

  ASSERT_TRUE(parse({"--dest=x.mdb", "--mode=1", "--profile=p.dmw"}));
  EXPECT_EQ(converter->dest_name(), u"/srv/from_profile.mdb");
  EXPECT_EQ(converter->mode(), 2);
}

TEST_F(AgentParse, ProfileThatCannotBeLoadedLeavesTheCommandLine) {
  ASSERT_TRUE(parse({"--dest=x", "--src=S", "--acc_ver=1", "--oraclh=srv", "--profile=none.dmw"}));
  EXPECT_EQ(converter->oracle_host(), u"srv");
  EXPECT_EQ(converter->dest_name(), here("x.mdb"));
}

TEST(TableNames, BomDecidesTheCharacterSetAndLinesKeepTheirBlanks) {
  EXPECT_EQ(read_table_names("\xEF\xBB\xBF" "EMP\r\n\r\n  DEPT  \n\nCaf\xC3\xA9\r\nLAST"),
            (std::vector<std::u16string>{u"EMP", u"  DEPT  ", u"Caf\u00e9", u"LAST"}));
  // The mark is only looked for on the first line that is not empty.
  EXPECT_EQ(read_table_names("\r\n\n\xEF\xBB\xBF" "A\n"), std::vector<std::u16string>{u"A"});
  EXPECT_EQ(read_table_names("A\n\xEF\xBB\xBF" "B\n"),
            (std::vector<std::u16string>{u"A", u"\uFEFFB"}));  // C locale: ANSI is UTF-8
  EXPECT_EQ(read_table_names("\xEF\xBB\xBF\r\nA\r\n"), std::vector<std::u16string>{u"A"});
  EXPECT_TRUE(read_table_names("").empty());
  EXPECT_TRUE(read_table_names("\r\n\n").empty());
  // A lone CR is part of the name, not a line end.
  EXPECT_EQ(read_table_names("A\rB\n"), std::vector<std::u16string>{u"A\rB"});
}

TEST(TableNames, LinesUpTo254BytesAreNamesLongerOnesRefuseTheFile) {
  std::string longest(254, 'N');
  EXPECT_EQ(read_table_names(longest + "\r\n").front().size(), 254u);
  EXPECT_EQ(read_table_names("\xEF\xBB\xBF" + longest).front().size(), 254u);
  EXPECT_THROW(read_table_names("A\n" + longest + "N\n"), tk_exception);
  EXPECT_THROW(read_table_names(longest + "NN"), tk_exception);
}

TEST_F(AgentParse, TableNamesFileReplacesTheTableList) {
  converter->selected_tables() = {u"OLD"};
  folder.write("t.txt", "B\nA \n");
  ASSERT_TRUE(parse({"--dest=o", "--src=S", "--acc_ver=1", "--tab_file=t.txt"}));
  EXPECT_EQ(converter->selected_tables(), (std::vector<std::u16string>{u"B", u"A "}));
}

TEST_F(AgentParse, CheckDestLeavesAnExistingFileInEveryMode) {
  folder.write("out.mdb", "old");
  folder.write("empty.mdb", "");
  for (int mode : {1, 0}) {
    converter->set_mode(mode);
    check_dest(here("out.mdb"));
    check_dest(here("empty.mdb"));
    EXPECT_EQ(read_file(folder / "out.mdb"), "old") << "mode " << mode;
    EXPECT_TRUE(fs::exists(folder / "empty.mdb")) << "mode " << mode;
  }
  check_dest(here("absent.mdb"));  // nothing to replace

  try {
    check_dest(here("missing/out.mdb"));
    FAIL() << "a missing folder passed";
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.level(), 1);
    EXPECT_EQ(e.text(), "Destination path does not exist.\nPlease verify the correct path was given.");
  }
}

TEST_F(AgentParse, CheckDestInModeZeroRefusesADatabaseSomeoneHoldsOpen) {
  jet_register_dao_engine();
  const std::u16string path = here("out.mdb");
  const std::string in_use = "Could not use '" + (folder / "out.mdb").string() + "'; file already in use.";
  auto expect_in_use = [&] {
    try {
      check_dest(path);
      ADD_FAILURE() << "a file in use passed";
    } catch (const dao_exception& e) {
      EXPECT_EQ(e.number(), 3045);
      EXPECT_EQ(e.level(), 1) << "the run must not start";
      EXPECT_EQ(e.text(), in_use);
    }
  };
  converter->set_mode(0);
  {
    dao_engine engine(false);
    engine.set_version(dao_engine::access_2000);
    engine.create_db(path).reset();
    const std::string before = read_file(folder / "out.mdb");
    {
      std::unique_ptr<udb_database> reader = engine.open_db(path, dao_engine::mode_opened, u"");
      expect_in_use();
      converter->set_mode(1);  // merging modes share the file as the engine lets them
      check_dest(path);
      converter->set_mode(0);
    }
    EXPECT_EQ(read_file(folder / "out.mdb"), before);
    // A live mode-0 run on the same destination holds its build file.
    std::unique_ptr<udb_database> other_run = engine.create_db(here(".out.mdb.dmwtmp"));
    expect_in_use();
    EXPECT_TRUE(fs::exists(folder / ".out.mdb.dmwtmp"));
  }
  check_dest(path);  // released: the same file may now be replaced
}

TEST_F(AgentParse, CheckDestReportsAFileThatCannotBeRemoved) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may remove files from a read-only folder";
  fs::create_directory(folder / "locked");
  folder.write("locked/out.mdb", "old");
  fs::permissions(folder / "locked", fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_THROW(check_dest(here("locked/out.mdb")), tk_exception_ex);
  EXPECT_TRUE(fs::exists(folder / "locked/out.mdb"));
}

TEST(AgentSecrets, PasswordArgumentsAreMaskedInPlaceAndNothingElse) {
  std::vector<std::string> texts = {"--oraclp=program", "--oraclu=scott", "--oraclp=tiger", "--oraclp=",
                                    "--oraclp", "--oraclpx=1", "--dest=--oraclp=x", "--oraclp=t=i g"};
  std::vector<char*> argv;
  for (auto& t : texts) argv.push_back(t.data());
  const std::vector<char*> buffers = argv;
  mask_secret_arguments(static_cast<int>(argv.size()), argv.data());
  // The very buffers the process was handed: that is what ps reads.
  EXPECT_EQ(argv, buffers);
  EXPECT_EQ(texts, (std::vector<std::string>{"--oraclp=program", "--oraclu=scott", "--oraclp=*****", "--oraclp=",
                                             "--oraclp", "--oraclpx=1", "--dest=--oraclp=x", "--oraclp=*****"}));
}
