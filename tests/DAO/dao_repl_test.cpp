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

}  // namespace
