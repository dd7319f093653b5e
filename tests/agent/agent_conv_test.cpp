// dmwagent connected to an Oracle schema served by ocilite: the Access file
// it writes through our engine, and how a run that cannot write it ends.
#include <gtest/gtest.h>

#include "agent_run.h"

namespace fs = std::filesystem;

namespace {

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

TEST_F(AgentConversion, RunWritesAnAccess2000FileThroughOurEngine) {
  agent_run r = run({"--dest=out"});
  EXPECT_EQ(r.out, "Converting database DB(0 tables)\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_code, 0);
  const std::string written = read_file(folder / "out.mdb");
  ASSERT_GT(written.size(), 4096u);
  EXPECT_EQ(written[0x14], 1) << "the version byte of an Access 2000 file";

  // Silent: nothing on the console.
  r = run({"--dest=quiet", "--silent"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(fs::exists(folder / "quiet.mdb"));
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
