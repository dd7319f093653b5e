// dmwagent connected to an Oracle schema served by ocilite: how a run that
// cannot write its Access destination ends.
#include <gtest/gtest.h>

#include "agent_run.h"

namespace fs = std::filesystem;

namespace {
const std::string kNoAccessEngine =
    "Error:\nFailed to load Data Access Objects (DAO) support library. Microsoft Access installation is "
    "required to proceed with the application. \n";

class AgentConversion : public ::testing::Test {
 protected:
  void SetUp() override {
    // The schema DB/SCOTT/tiger with one table, made by the ocilite tool.
    const fs::path home = folder / "oracle";
    const std::string make = std::string("'") + OCILITE_TOOL + "' create-user '" + home.string() +
                             "' DB SCOTT tiger >/dev/null 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0);
    env = {std::string("DMW_OCI_LIBRARY=") + OCILITE_LIBRARY, "OCILITE_HOME=" + home.string()};
  }
  agent_run run(std::vector<std::string> args) {
    args.insert(args.end(), {"--src=DB", "--oraclu=scott", "--oraclp=tiger", "--acc_ver=1"});
    return run_agent(args, folder.path(), env);
  }

  scratch_folder folder;
  std::vector<std::string> env;
};
}  // namespace

TEST_F(AgentConversion, RunWithoutAnAccessEngineEndsWithAFailureExitCode) {
  agent_run r = run({"--dest=out"});
  EXPECT_EQ(r.out, kNoAccessEngine);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_code, 255);
  EXPECT_FALSE(fs::exists(folder / "out.mdb"));

  // Silent: nothing on the console, the exit code stays.
  r = run({"--dest=out", "--silent"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_code, 255);
}

TEST_F(AgentConversion, ExistingDestinationThatIsNoAccessFileEndsTheRun) {
  folder.write("old.mdb", "plain text, no Access header");
  agent_run r = run({"--dest=old.mdb", "--mode=3", "--logfile=run.log"});
  const std::string path = (folder / "old.mdb").string();
  EXPECT_EQ(r.out, "Error:\nFile '" + path + "' does not comply with MS Access format.\n");
  EXPECT_EQ(r.exit_code, 255);
  // Modes other than 0 never delete or rewrite the file.
  EXPECT_EQ(read_file(folder / "old.mdb"), "plain text, no Access header");
  const std::string trace = read_file(folder / "run.log");
  EXPECT_NE(trace.find("Conversion started on "), std::string::npos) << trace;
  EXPECT_NE(trace.find("Error:\nFile '" + path + "' does not comply"), std::string::npos) << trace;
}
