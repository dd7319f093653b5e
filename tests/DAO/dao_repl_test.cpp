// Building a new database beside its destination and putting it in place,
// over the engine double, whose created files exist on disk.
#include <gtest/gtest.h>

#include <filesystem>

#include "../TK/temp_dir.h"
#include "DAO/dao_repl.h"
#include "TK/tk_strin.h"
#include "dao_test.h"

namespace {

using dao_replacement_test = dao_test;

bool exists(const std::u16string& name) { return std::filesystem::exists(tk_to_utf8(name)); }

TEST(dao_build_name, IsHiddenBesideTheDestination) {
  EXPECT_EQ(dao_build_name(u"/data/out.mdb"), u"/data/.out.mdb.dmwtmp");
  EXPECT_EQ(dao_build_name(u"out.mdb"), u".out.mdb.dmwtmp");
  EXPECT_EQ(dao_build_name(u"/out"), u"/.out.dmwtmp");
}

TEST_F(dao_replacement_test, TheDestinationChangesOnlyWhenTheNewFileIsPutInPlace) {
  temp_dir dir;
  const std::u16string destination = tk_from_utf8(dir.file("out.mdb"));
  const std::u16string build = dao_build_name(destination);
  write_bytes(dir.file("out.mdb"), "old");
  {
    dao_replacement given_up(*engine_, destination);
    auto db = given_up.create_db();
    EXPECT_EQ(db->name(), destination);
    EXPECT_TRUE(world().called("CreateDatabase(" + tk_to_utf8(build) + ", ;LANGID=0x0409;CP=1252;COUNTRY=0, vt3:0)"));
    EXPECT_TRUE(exists(build));
  }
  EXPECT_FALSE(exists(build));
  EXPECT_EQ(read_bytes(dir.file("out.mdb")), "old");

  // The engine's messages name the destination, never the build file.
  {
    dao_replacement refused(*engine_, destination);
    world().fail_next("CreateDatabase", 3044, u"'" + build + u"' is not a valid path.");
    const raised r = raised_by([&] { refused.create_db(); });
    EXPECT_EQ(r.text, "'" + tk_to_utf8(destination) + "' is not a valid path.");
    EXPECT_EQ(r.code, 0x10000u + 3044u);
  }

  dao_replacement done(*engine_, destination);
  done.create_db().reset();
  done.put_in_place();
  EXPECT_FALSE(exists(build));
  EXPECT_EQ(world().file(destination), world().files.at(build));
}

TEST_F(dao_replacement_test, OnlyAnotherUsersHoldStopsTheReplacement) {
  temp_dir dir;
  const std::u16string destination = tk_from_utf8(dir.file("out.mdb"));
  world().add_file(destination);
  std::string header(4096, '\0');
  header[20] = 1;
  write_bytes(dir.file("out.mdb"), header);
  const std::string in_use = "Could not use '" + tk_to_utf8(destination) + "'; file already in use.";

  // Whatever else keeps the engine from holding the file does not.
  world().fail_next("OpenDatabase", 3049, u"damaged");
  dao_check_replaceable(*engine_, destination);
  dao_check_replaceable(*engine_, destination);
  EXPECT_TRUE(world().called("OpenDatabase(" + tk_to_utf8(destination) + ", vt11:1, vt11:0, vt8:)"));

  world().fail_next("OpenDatabase", 3045, u"in use");
  try {
    dao_check_replaceable(*engine_, destination);
    ADD_FAILURE() << "a file in use passed";
  } catch (const dao_exception& e) {
    EXPECT_EQ(e.text(), in_use);
    EXPECT_EQ(e.number(), 3045);
    EXPECT_EQ(e.level(), 1);
  }

  // Held at the moment of replacing: the new file goes, the old one stays.
  {
    dao_replacement replacement(*engine_, destination);
    replacement.create_db().reset();
    world().fail_next("OpenDatabase", 3045, u"in use");
    EXPECT_EQ(raised_by([&] { replacement.put_in_place(); }).text, in_use);
  }
  EXPECT_FALSE(exists(dao_build_name(destination)));
  EXPECT_EQ(read_bytes(dir.file("out.mdb")), header);

  // A live run's build file is in use too; a dead run's is removed.
  write_bytes(tk_to_utf8(dao_build_name(destination)), header);
  world().add_file(dao_build_name(destination));
  world().fail_next("OpenDatabase", 3045, u"in use");
  EXPECT_EQ(raised_by([&] { dao_replacement(*engine_, destination); }).text, in_use);
  EXPECT_TRUE(exists(dao_build_name(destination)));
  { dao_replacement after_a_crash(*engine_, destination); }
  EXPECT_FALSE(exists(dao_build_name(destination)));
}

}  // namespace
