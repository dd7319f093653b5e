#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "TK/tk_excep.h"
#include "common/dmw_conv.h"

namespace fs = std::filesystem;

namespace {
std::string read_all(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// A private folder that also stands in for the user's registry.
class ConverterTest : public ::testing::Test {
 protected:
  ConverterTest() {
    folder = fs::temp_directory_path() / ("dmw_conv_" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg) old_xdg = xdg;
    ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
  }
  ~ConverterTest() override {
    if (old_xdg) ::setenv("XDG_CONFIG_HOME", old_xdg->c_str(), 1);
    else ::unsetenv("XDG_CONFIG_HOME");
    for (auto& entry : fs::recursive_directory_iterator(folder))
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(folder);
  }
  std::u16string at(const std::string& name) const { return (folder / name).u16string(); }
  fs::path registry_file() const { return folder / "config" / "dunmarrow" / "registry"; }

  fs::path folder;
  std::optional<std::string> old_xdg;
};

void fill_settings(dunmarrow_convertor& c) {
  c.set_source_name(u"ORCL");
  c.set_dest_name(u"/data/out.mdb");
  c.set_mode(3);
  c.set_only_definitions(true);
  c.set_skip_indexes(false);
  c.set_destination_format(0);
  c.store_oracle_settings(u"db.example", u"scott", u"tiger", u"1522");
  c.access_settings() = {u"/wg/system.mdw", u"admin", u"wgpass", u"dbpass"};
  c.selected_tables() = {u"EMP"};
  c.selected_objects() = {{u"EMP", u""}, {u"RICH", u"select * from emp where sal > 5000"}};
  c.available_queries() = {{u"RICH", u"select * from emp where sal > 5000"}};
}

}  // namespace

TEST_F(ConverterTest, AgentConverterStartsWithoutFormatAndNeverTouchesTheRegistry) {
  {
    dunmarrow_convertor agent(dmw_front_end::agent);
    EXPECT_EQ(agent.destination_format(), dunmarrow_convertor::format_not_given);
    EXPECT_EQ(agent.oracle_port(), u"1521");
    fill_settings(agent);
  }
  EXPECT_FALSE(fs::exists(folder / "config"));
}

TEST_F(ConverterTest, WizardConverterKeepsItsLastSettingsInTheRegistry) {
  {
    dunmarrow_convertor wizard(dmw_front_end::wizard);
    EXPECT_EQ(wizard.destination_format(), 1);
    EXPECT_EQ(wizard.oracle_port(), u"1521");
    fill_settings(wizard);
  }
  ASSERT_TRUE(fs::exists(registry_file()));
  struct stat info{};
  ASSERT_EQ(::stat(registry_file().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);  // the password is in there

  dunmarrow_convertor again(dmw_front_end::wizard);
  EXPECT_EQ(again.source_name(), u"ORCL");
  EXPECT_EQ(again.dest_name(), u"/data/out.mdb");
  EXPECT_EQ(again.destination_format(), 0);
  EXPECT_EQ(again.oracle_host(), u"db.example");
  EXPECT_EQ(again.oracle_user(), u"scott");
  EXPECT_EQ(again.oracle_password(), u"tiger");
  EXPECT_EQ(again.oracle_port(), u"1522");
  EXPECT_TRUE(again.only_definitions());
  EXPECT_FALSE(again.skip_indexes());
  // Neither the mode nor the selection lives in the registry.
  EXPECT_EQ(again.mode(), 0);
  EXPECT_TRUE(again.selected_tables().empty());
  EXPECT_TRUE(again.access_settings().workgroup_file.empty());
}

TEST_F(ConverterTest, SecondConverterIsAnInternalError) {
  dunmarrow_convertor first(dmw_front_end::agent);
  EXPECT_THROW(dunmarrow_convertor(dmw_front_end::agent), tk_mail_assertion);
  EXPECT_EQ(dunmarrow_convertor::instance(), &first);
  EXPECT_THROW(first.get_all_tables(), tk_mail_assertion);  // never connected
}

TEST_F(ConverterTest, ProfileIsWrittenThroughEveryPartAndLoadsBack) {
  {
    dunmarrow_convertor source(dmw_front_end::agent);
    fill_settings(source);
    source.store_profile_file(at("p.dmw"));
  }
  EXPECT_EQ(read_all(folder / "p.dmw"),
            "[Available Queries]\r\nRICH=select * from emp where sal > 5000\r\n\r\n"
            "[Generic settings]\r\ndest=/data/out.mdb\r\nmode=3\r\nonly definitions=1\r\n"
            "skip indexes=0\r\nsrc=ORCL\r\n\r\n"
            "[MS Access settings]\r\ndatabase password=dbpass\r\ndestination format=0\r\n"
            "workgroup file=/wg/system.mdw\r\nworkgroup password=wgpass\r\nworkgroup user=admin\r\n\r\n"
            "[Oracle settings]\r\nhost=db.example\r\npassword=tiger\r\nport=1522\r\nuser=scott\r\n\r\n"
            "[Selected Tables]\r\nEMP\r\nRICH=select * from emp where sal > 5000\r\n\r\n");

  dunmarrow_convertor loaded(dmw_front_end::agent);
  ASSERT_TRUE(loaded.load_profile_file(at("p.dmw")));
  EXPECT_EQ(loaded.source_name(), u"ORCL");
  EXPECT_EQ(loaded.dest_name(), u"/data/out.mdb");
  EXPECT_EQ(loaded.mode(), 3);
  EXPECT_TRUE(loaded.only_definitions());
  EXPECT_EQ(loaded.destination_format(), 0);
  EXPECT_EQ(loaded.oracle_host(), u"db.example");
  EXPECT_EQ(loaded.oracle_password(), u"tiger");
  EXPECT_EQ(loaded.oracle_port(), u"1522");
  EXPECT_EQ(loaded.oracle_user(), u"scott");
  EXPECT_EQ(loaded.access_settings().workgroup_file, u"/wg/system.mdw");
  EXPECT_EQ(loaded.access_settings().workgroup_user, u"admin");
  EXPECT_EQ(loaded.access_settings().workgroup_password, u"wgpass");
  EXPECT_EQ(loaded.access_settings().database_password, u"dbpass");
  EXPECT_EQ(loaded.selected_tables(), std::vector<std::u16string>{u"EMP"});
  EXPECT_EQ(loaded.selected_objects().size(), 2u);
  EXPECT_EQ(loaded.available_queries().at(u"RICH"), u"select * from emp where sal > 5000");
}

TEST_F(ConverterTest, ProfileChangesOnlyWhatItHolds) {
  std::ofstream(folder / "partial.dmw", std::ios::binary)
      << "[MS Access settings]\r\ndestination format=2\r\nworkgroup user=\r\n"
         "workgroup file=/wg/new.mdw\r\n";
  dunmarrow_convertor c(dmw_front_end::agent);
  fill_settings(c);
  c.set_destination_format(1);
  ASSERT_TRUE(c.load_profile_file(at("partial.dmw")));
  EXPECT_EQ(c.destination_format(), 0);  // anything but "1" is Access 95/97
  EXPECT_EQ(c.access_settings().workgroup_file, u"/wg/new.mdw");
  EXPECT_EQ(c.access_settings().workgroup_user, u"admin");
  EXPECT_EQ(c.oracle_host(), u"db.example");
  EXPECT_EQ(c.source_name(), u"ORCL");

  // A file that cannot be loaded changes nothing.
  std::ofstream(folder / "orphan.dmw", std::ios::binary) << "src=OTHER\r\n[Generic settings]\r\n";
  EXPECT_FALSE(c.load_profile_file(at("orphan.dmw")));
  EXPECT_FALSE(c.load_profile_file(at("missing.dmw")));
  EXPECT_EQ(c.source_name(), u"ORCL");
  EXPECT_EQ(c.destination_format(), 0);
}

TEST_F(ConverterTest, DestinationChecksInTheirOrder) {
  auto message_of = [](const std::u16string& path) -> std::string {
    try {
      common_check_dest(path);
      return "";
    } catch (const tk_exception& e) {
      EXPECT_EQ(e.level(), 1);
      return e.text();
    }
  };
  EXPECT_EQ(message_of(at("")), "Destination name should specify a file, not folder.");
  EXPECT_EQ(message_of(folder.u16string()), "Destination name should specify a file, not folder.");
  std::ofstream(folder / "ro.mdb") << "x";
  fs::permissions(folder / "ro.mdb", fs::perms::owner_read);
  EXPECT_EQ(message_of(at("ro.mdb")), "Destination name specifies an existing read-only file.");
  EXPECT_EQ(message_of(at("nowhere/out.mdb")),
            "Destination path does not exist.\nPlease verify the correct path was given.");
  EXPECT_EQ(message_of(at("new.mdb")), "");
  std::ofstream(folder / "rw.mdb") << "x";
  EXPECT_EQ(message_of(at("rw.mdb")), "");
}
