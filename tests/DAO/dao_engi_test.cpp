#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include "../TK/temp_dir.h"
#include "DAO/dao_db.h"
#include "TK/tk_strin.h"
#include "dao_test.h"

namespace {

// A file of the given length whose byte 20 is the version byte.
std::u16string header_file(const temp_dir& dir, size_t length, char version_byte) {
  std::string bytes(length, '\x11');
  if (length > 20) bytes[20] = version_byte;
  const std::string path = dir.file("db.mdb");
  write_bytes(path, bytes);
  return tk_from_ansi(path);
}

using dao_engine_test = dao_test;

TEST_F(dao_engine_test, VersionByteSelectsTheEngine) {
  temp_dir dir;
  EXPECT_EQ(engine_->get_acc_version(header_file(dir, 4096, 0x01)), dao_engine::access_2000);
  EXPECT_EQ(engine_->get_acc_version(header_file(dir, 4096, 0x00)), dao_engine::access_97);
  EXPECT_EQ(engine_->get_acc_version(header_file(dir, 21, 0x02)), dao_engine::access_2007);
}

TEST_F(dao_engine_test, FilesMadeByAccessAreRecognised) {
  namespace fs = std::filesystem;
  const fs::path samples = fs::path(DMW_SHARED_DIR) / "testdata" / "access";
  if (!fs::exists(samples)) GTEST_SKIP() << "no Access sample files at " << samples;
  const std::pair<const char*, uint32_t> folders[] = {
      {"jet3", dao_engine::access_97}, {"jet4", dao_engine::access_2000}, {"ace", dao_engine::access_2007}};
  int checked = 0;
  for (const auto& [folder, key] : folders) {
    if (!fs::exists(samples / folder)) continue;
    for (const fs::directory_entry& file : fs::directory_iterator(samples / folder)) {
      EXPECT_EQ(engine_->get_acc_version(tk_from_ansi(file.path().string())), key) << file.path();
      ++checked;
    }
  }
  EXPECT_GT(checked, 0);
}

TEST_F(dao_engine_test, FilesThatAreNotAccessFilesAreRefused) {
  temp_dir dir;
  const std::u16string unknown = header_file(dir, 4096, 0x05);
  const std::string expected = "File '" + tk_to_ansi(unknown) + "' does not comply with MS Access format.";
  EXPECT_EQ(raised_by([&] { engine_->get_acc_version(unknown); }).text, expected);
  EXPECT_EQ(raised_by([&] { engine_->get_acc_version(header_file(dir, 20, 0x01)); }).text, expected);
  EXPECT_EQ(raised_by([&] { engine_->get_acc_version(header_file(dir, 0, 0)); }).text, expected);
  const std::u16string missing = tk_from_ansi(dir.file("none.mdb"));
  EXPECT_EQ(raised_by([&] { engine_->get_acc_version(missing); }).text,
            "File '" + tk_to_ansi(missing) + "' does not comply with MS Access format.");
  // A folder has no header either.
  EXPECT_TRUE(raised_by([&] { engine_->get_acc_version(tk_from_ansi(dir.path())); }).any);
}

TEST_F(dao_engine_test, EngineClassesThatAreNotRegisteredCannotBeLoaded) {
  // Only DAO 3.6 is served: Access 95/97 and Access 2007 files need engines
  // that are not there, and say so as when DAO is not installed.
  for (uint32_t key : {dao_engine::access_97, dao_engine::access_2007}) {
    EXPECT_FALSE(engine_->set_version_if(key));
    EXPECT_EQ(engine_->version(), dao_engine::no_version);
    EXPECT_EQ(engine_->engine_interface(), nullptr);
    const raised r = raised_by([&] { engine_->set_version(key); });
    EXPECT_EQ(r.text,
              "Failed to load Data Access Objects (DAO) support library.\n"
              "Microsoft Access installation is required to proceed with\n"
              "the application.\n");
  }
  EXPECT_DAO_ASSERTION(engine_->create_db(u"x.mdb"), "dao_engi");
  EXPECT_DAO_ASSERTION(engine_->open_db(u"x.mdb", 104, u""), "dao_engi");
  EXPECT_DAO_ASSERTION(engine_->set_version_if(7), "dao_engi");

  // Once registered, the same key loads.
  dao_fake::register_engine(CLSID_DBEngineAce);
  EXPECT_TRUE(engine_->set_version_if(dao_engine::access_2007));
  EXPECT_EQ(engine_->version(), dao_engine::access_2007);
  dao_fake::unregister_engine(CLSID_DBEngineAce);
}

TEST_F(dao_engine_test, OneEnginePerProcess) {
  EXPECT_DAO_ASSERTION(dao_engine second(false), "tk_singl");
  EXPECT_EQ(&dao_engine::get(), engine_.get());
}

TEST_F(dao_engine_test, EngineInitialisesComForItsLifeUnlessTheCallerDid) {
  engine_.reset();
  EXPECT_FALSE(com_is_initialized());
  {
    dao_engine own(false);
    EXPECT_TRUE(com_is_initialized());
  }
  EXPECT_FALSE(com_is_initialized());
  CoInitialize(nullptr);
  { dao_engine borrowed(true); }
  EXPECT_TRUE(com_is_initialized());
  CoUninitialize();
}

TEST_F(dao_engine_test, CreateDatabasePassesTheGeneralLocaleAndTheEnginesFormat) {
  auto db = engine_->create_db(u"new.mdb");
  ASSERT_NE(db, nullptr);
  EXPECT_TRUE(world().called("CreateDatabase(new.mdb, ;LANGID=0x0409;CP=1252;COUNTRY=0, vt3:0)"));
  EXPECT_EQ(db->open_flags(), dao_engine::mode_created);
  EXPECT_EQ(db->name(), u"new.mdb");
  db.reset();
  EXPECT_TRUE(world().called("Database.Close"));
}

TEST_F(dao_engine_test, MissingSupportLibraryNamesTheAccessVersionOfTheFormat) {
  world().fail_next("CreateDatabase", static_cast<HRESULT>(0x800A0E31));
  EXPECT_EQ(raised_by([&] { engine_->create_db(u"a.mdb"); }).text,
            "Failed to load Data Access Objects (DAO) support library.\n"
            "Microsoft Access 2000 installation is required to proceed\nwith the application.\n");
  dao_fake::register_engine(CLSID_DBEngine35);
  engine_->set_version(dao_engine::access_97);
  world().fail_next("CreateDatabase", static_cast<HRESULT>(0x800A0E31));
  EXPECT_EQ(raised_by([&] { engine_->create_db(u"a.mdb"); }).text,
            "Failed to load Data Access Objects (DAO) support library.\n"
            "Microsoft Access 95/97 installation is required to proceed\nwith the application.\n");
  dao_fake::unregister_engine(CLSID_DBEngine35);
}

TEST_F(dao_engine_test, CreateAndOpenFailuresCarryDaosError) {
  world().add_file(u"taken.mdb");
  const raised exists = raised_by([&] { engine_->create_db(u"taken.mdb"); });
  EXPECT_TRUE(exists.is_dao);
  EXPECT_EQ(exists.text, "Database already exists.");
  EXPECT_EQ(exists.code, 0x10000u + 3204u);

  const raised missing = raised_by([&] { engine_->open_db(u"gone.mdb", 104, u""); });
  EXPECT_TRUE(missing.is_dao);
  EXPECT_EQ(missing.text, "Could not find file 'gone.mdb'.");
  EXPECT_EQ(missing.code, 0x10000u + 3024u);

  world().answer_null("OpenDatabase");
  const raised no_object = raised_by([&] { engine_->open_db(u"taken.mdb", 104, u""); });
  EXPECT_FALSE(no_object.is_dao);
  EXPECT_EQ(no_object.text, "Unknown exception");
  EXPECT_EQ(no_object.code, 1u);
}

TEST_F(dao_engine_test, OpenModeBitsAndPasswordBecomeOpenDatabaseArguments) {
  world().add_file(u"old.mdb");
  auto plain = engine_->open_db(u"old.mdb", 104, u"");
  EXPECT_EQ(plain->open_flags(), 104u);
  plain.reset();
  auto locked = engine_->open_db(u"old.mdb", 17, u"s3cr et;");
  EXPECT_EQ(locked->open_flags(), 17u);
  locked.reset();
  engine_->open_db(u"old.mdb", 16, u"").reset();
  engine_->open_db(u"old.mdb", 1 | 8, u"").reset();
  EXPECT_TRUE(world().called("OpenDatabase(old.mdb, vt11:1, vt11:0, vt8:)"));  // exclusive only
  EXPECT_TRUE(world().called("OpenDatabase(old.mdb, vt11:0, vt11:1, vt8:)"));  // read-only only
  // exclusive, read-only, connect text
  EXPECT_TRUE(world().called("OpenDatabase(old.mdb, vt11:0, vt11:0, vt8:)"));
  EXPECT_TRUE(world().called("OpenDatabase(old.mdb, vt11:1, vt11:1, vt8:;pwd=s3cr et;)"));
}

TEST_F(dao_engine_test, FilesAreTestedAndDeleted) {
  temp_dir dir;
  const std::u16string file = tk_from_ansi(dir.file("t.mdb"));
  EXPECT_FALSE(engine_->is_db_exist(file));
  write_bytes(dir.file("t.mdb"), "x");
  EXPECT_TRUE(engine_->is_db_exist(file));
  engine_->delete_db(file);
  EXPECT_FALSE(engine_->is_db_exist(file));
  const raised r = raised_by([&] { engine_->delete_db(file); });
  EXPECT_EQ(r.code, static_cast<uint32_t>(ENOENT));
  EXPECT_FALSE(r.is_dao);
}

}  // namespace
