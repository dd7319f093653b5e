#include "UDB/udb_conv.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "TK/tk_excep.h"
#include "TK/tk_strin.h"
#include "tests/TK/decode_assertion.h"
#include "tests/TK/temp_dir.h"

namespace {
class test_converter : public udb_converter {
 public:
  bool test_query(const std::u16string&) override { return true; }
};

std::u16string wide(const std::string& path) { return tk_from_ansi(path); }

// Loads the bytes as a profile into a converter; answers the load's result.
bool load_into(test_converter& c, const std::string& bytes) {
  temp_dir dir;
  write_bytes(dir.file("p.dmw"), bytes);
  udb_profile profile;
  if (!profile.load(wide(dir.file("p.dmw")))) return false;
  c.load_profile(profile);
  return true;
}
}  // namespace

TEST(UdbProfile, NewProfileHoldsThreeEmptySectionsAndFirstValueWins) {
  udb_profile p;
  ASSERT_EQ(p.sections().size(), 3u);
  for (const char16_t* name : {u"Available Queries", u"Selected Tables", u"Generic settings"}) {
    ASSERT_NE(p.find_section(name), nullptr);
    EXPECT_TRUE(p.find_section(name)->empty());
  }
  p.set_value(u"Oracle settings", u"port", u"1521");
  p.set_value(u"Oracle settings", u"port", u"1522");
  EXPECT_EQ(p.value(u"Oracle settings", u"port"), u"1521");
  std::u16string v = u"kept";
  EXPECT_FALSE(p.get_value(u"Oracle settings", u"host", v));
  EXPECT_FALSE(p.get_value(u"No section", u"port", v));
  EXPECT_EQ(v, u"kept");
}

TEST(UdbProfile, SavedFileHasTheExactLayout) {
  temp_dir dir;
  udb_profile p;
  p.set_value(u"Oracle settings", u"user", u"scott");
  p.set_value(u"Oracle settings", u"host", u"");
  p.set_value(u"Selected Tables", u"EMP", u"");
  p.set_value(u"Selected Tables", u"BIG", u"select * from emp where sal > 1000");
  p.set_value(u"Generic settings", u"mode", u"2");
  p.set_value(u"Generic settings", u"dest", u"/tmp/\u00e9.mdb");
  p.set_value(u"MS Access settings", u"destination format", u"1");
  p.set_value(u"Available Queries", u"Q", u"select 1 from dual");
  ASSERT_TRUE(p.save(wide(dir.file("a.dmw"))));
  EXPECT_EQ(read_bytes(dir.file("a.dmw")),
            "[Available Queries]\r\nQ=select 1 from dual\r\n\r\n"
            "[Generic settings]\r\ndest=/tmp/\xc3\xa9.mdb\r\nmode=2\r\n\r\n"
            "[MS Access settings]\r\ndestination format=1\r\n\r\n"
            "[Oracle settings]\r\nhost=\r\nuser=scott\r\n\r\n"
            "[Selected Tables]\r\nBIG=select * from emp where sal > 1000\r\nEMP\r\n\r\n");
  udb_profile empty;
  ASSERT_TRUE(empty.save(wide(dir.file("e.dmw"))));
  EXPECT_EQ(read_bytes(dir.file("e.dmw")),
            "[Available Queries]\r\n\r\n[Generic settings]\r\n\r\n[Selected Tables]\r\n\r\n");
}

TEST(UdbProfile, SectionsAndKeysAreInCodeUnitOrder) {
  temp_dir dir;
  udb_profile p;
  // U+FF21 sorts after U+00E9 by code unit; 'Z' before 'a'; a prefix first.
  for (const char16_t* key : {u"\uff21", u"a", u"\u00e9", u"Z", u"ab"}) p.set_value(u"S", key, u"");
  ASSERT_TRUE(p.save(wide(dir.file("o.dmw"))));
  std::string bytes = read_bytes(dir.file("o.dmw"));
  EXPECT_NE(bytes.find("[S]\r\nZ=\r\na=\r\nab=\r\n\xc3\xa9=\r\n\xef\xbc\xa1=\r\n\r\n"), std::string::npos) << bytes;
}

TEST(UdbProfile, LoadingReadsWhatSavingWrote) {
  temp_dir dir;
  udb_profile p;
  p.set_value(u"Oracle settings", u"port", u"1522");
  p.set_value(u"Oracle settings", u"password", u" pass word");
  p.set_value(u"Selected Tables", u"\u4e2d\u6587", u"");
  p.set_value(u"Available Queries", u"Q", u"select 'a=b' from dual");
  ASSERT_TRUE(p.save(wide(dir.file("r.dmw"))));
  udb_profile back;
  ASSERT_TRUE(back.load(wide(dir.file("r.dmw"))));
  EXPECT_EQ(back.sections(), p.sections());
}

TEST(UdbProfile, ReadingTrimsBlanksAndAcceptsLoneLineFeeds) {
  temp_dir dir;
  write_bytes(dir.file("b.dmw"),
              "  [Oracle settings]  \n"
              "   user   =  scott   \r\n"
              "\n   \n"
              "host\n"
              "port=1521=x\n"
              "user=second\n"
              "\t=tab key\n"
              "[Selected Tables]\n"
              "EMP\n"
              "Q = select 1 from dual");  // the last line has no line break
  udb_profile p;
  ASSERT_TRUE(p.load(wide(dir.file("b.dmw"))));
  EXPECT_EQ(p.value(u"Oracle settings", u"user"), u"  scott");  // first value wins
  std::u16string host = u"unset";
  EXPECT_TRUE(p.get_value(u"Oracle settings", u"host", host));
  EXPECT_EQ(host, u"");
  EXPECT_EQ(p.value(u"Oracle settings", u"port"), u"1521=x");
  EXPECT_EQ(p.value(u"Oracle settings", u"\t"), u"tab key");  // only spaces are blanks
  EXPECT_EQ(p.value(u"Selected Tables", u"Q"), u" select 1 from dual");
  EXPECT_TRUE(p.get_value(u"Selected Tables", u"EMP", host));
  EXPECT_NE(p.find_section(u"Generic settings"), nullptr);  // the three sections are always there
}

TEST(UdbProfile, FailedLoadsLeaveTheProfileAsItWas) {
  temp_dir dir;
  udb_profile p;
  p.set_value(u"Generic settings", u"src", u"ORCL");
  auto loads = [&](const std::string& bytes) {
    write_bytes(dir.file("f.dmw"), bytes);
    return p.load(wide(dir.file("f.dmw")));
  };
  EXPECT_FALSE(loads("user=scott\r\n[Oracle settings]\r\n"));  // key before any section
  EXPECT_FALSE(loads("\xef\xbb\xbf[Generic settings]\r\nsrc=X\r\n"));  // byte-order mark
  EXPECT_FALSE(p.load(wide(dir.file("missing.dmw"))));
  EXPECT_FALSE(p.load(wide(dir.path())));  // a folder is not a profile
  EXPECT_EQ(p.value(u"Generic settings", u"src"), u"ORCL");
  // An empty file is a valid, empty profile.
  EXPECT_TRUE(loads(""));
  EXPECT_EQ(p.value(u"Generic settings", u"src"), u"");
}

TEST(UdbProfile, LinesOf4095BytesAreAnInternalError) {
  temp_dir dir;
  std::string value(4094 - 2, 'q');  // "Q=" + value = 4094 bytes: accepted
  write_bytes(dir.file("ok.dmw"), "[Available Queries]\r\nQ=" + value + "\r\n");
  udb_profile p;
  ASSERT_TRUE(p.load(wide(dir.file("ok.dmw"))));
  EXPECT_EQ(p.value(u"Available Queries", u"Q").size(), value.size());
  for (const char* ending : {"\r\n", "\n", ""}) {
    write_bytes(dir.file("long.dmw"), "[Available Queries]\r\nQ=" + value + "q" + ending);
    try {
      p.load(wide(dir.file("long.dmw")));
      ADD_FAILURE() << "no internal error with line ending '" << ending << "'";
    } catch (const tk_mail_assertion& e) {
      EXPECT_EQ(assertion_file(e), "udb_conv");
    }
  }
}

TEST(UdbProfile, LineBreaksInAValueAreSavedAsSpaces) {
  temp_dir dir;
  udb_profile p;
  p.set_value(u"Available Queries", u"multi", u"select a,\r\n       b\nfrom t\rwhere 1=1");
  p.set_value(u"Available Queries", u"next", u"x");
  ASSERT_TRUE(p.save(wide(dir.file("m.dmw"))));
  EXPECT_EQ(read_bytes(dir.file("m.dmw")),
            "[Available Queries]\r\nmulti=select a,        b from t where 1=1\r\nnext=x\r\n\r\n"
            "[Generic settings]\r\n\r\n[Selected Tables]\r\n\r\n");
  udb_profile back;
  ASSERT_TRUE(back.load(wide(dir.file("m.dmw"))));
  EXPECT_EQ(back.value(u"Available Queries", u"multi"), u"select a,        b from t where 1=1");
  EXPECT_EQ(back.value(u"Available Queries", u"next"), u"x");
  EXPECT_EQ(back.find_section(u"Available Queries")->size(), 2u);
}

TEST(UdbProfile, SavedFileIsOwnerOnlyEvenWhenItExisted) {
  temp_dir dir;
  std::string path = dir.file("s.dmw");
  write_bytes(path, std::string(10000, 'x'));  // longer than the new contents
  ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
  udb_profile p;
  p.set_value(u"Oracle settings", u"password", u"tiger");
  ASSERT_TRUE(p.save(wide(path)));
  struct stat st{};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  udb_profile back;
  ASSERT_TRUE(back.load(wide(path)));
  EXPECT_EQ(back.sections(), p.sections());
  ::unlink(path.c_str());
  ASSERT_TRUE(p.save(wide(path)));
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_FALSE(p.save(wide(dir.file("no/such/folder.dmw"))));
  EXPECT_FALSE(p.save(wide(dir.path())));
}

TEST(UdbConverter, ProfileSelectsTablesAndQueries) {
  test_converter c;
  c.selected_objects()[u"OLD"] = u"";
  c.selected_tables().push_back(u"OLD");
  ASSERT_TRUE(load_into(c, "[Selected Tables]\r\nEMP\r\nDEPT\r\nRICH=select * from emp where sal>5000\r\n\r\n"
                           "[Available Queries]\r\nRICH=select * from emp where sal>5000\r\nPOOR=select 1\r\n"));
  EXPECT_EQ(c.selected_tables(), (std::vector<std::u16string>{u"OLD", u"DEPT", u"EMP"}));
  EXPECT_EQ(c.selected_objects(), (udb_converter::object_map{{u"DEPT", u""}, {u"EMP", u""}, {u"OLD", u""},
                                                             {u"RICH", u"select * from emp where sal>5000"}}));
  EXPECT_EQ(c.available_queries().size(), 2u);
  EXPECT_EQ(c.available_queries().at(u"POOR"), u"select 1");
}

TEST(UdbConverter, GenericSettingsFollowTheirRules) {
  test_converter c;
  c.set_source_name(u"ORCL");
  c.set_dest_name(u"old.mdb");
  c.set_mode(1);
  ASSERT_TRUE(load_into(c, "[Generic settings]\r\nsrc=\r\ndest=new.mdb\r\nmode=2\r\n"
                           "only definitions=yes\r\nskip indexes=0\r\n"));
  EXPECT_EQ(c.source_name(), u"ORCL");  // empty values leave the field
  EXPECT_EQ(c.dest_name(), u"new.mdb");
  EXPECT_EQ(c.mode(), 2);
  EXPECT_TRUE(c.only_definitions());
  EXPECT_FALSE(c.skip_indexes());

  c.set_skip_indexes(true);
  ASSERT_TRUE(load_into(c, "[Generic settings]\r\nmode=12\r\nonly definitions=0\r\nskip indexes=\r\n"));
  EXPECT_EQ(c.mode(), 2);  // two characters: unchanged
  EXPECT_TRUE(c.profile_mode_refused());
  EXPECT_FALSE(c.only_definitions());
  EXPECT_TRUE(c.skip_indexes());  // empty: unchanged

  // Only the four modes there are: other single characters change nothing.
  for (const char* value : {"4", "9", "x", "-", " "}) {
    ASSERT_TRUE(load_into(c, std::string("[Generic settings]\r\nmode=") + value + "\r\n"));
    EXPECT_EQ(c.mode(), 2) << value;
    // A blank value reads as empty: nothing to refuse.
    EXPECT_EQ(c.profile_mode_refused(), *value != ' ') << value;
  }
  ASSERT_TRUE(load_into(c, "[Generic settings]\r\nmode=0\r\n"));
  EXPECT_EQ(c.mode(), 0);
  EXPECT_FALSE(c.profile_mode_refused());
  // Empty or absent: nothing to refuse, the mode stays.
  ASSERT_TRUE(load_into(c, "[Generic settings]\r\nmode=\r\n"));
  EXPECT_FALSE(c.profile_mode_refused());
  ASSERT_TRUE(load_into(c, "[Generic settings]\r\nmode=12\r\n"));
  ASSERT_TRUE(load_into(c, "[Generic settings]\r\nsrc=S\r\n"));
  EXPECT_FALSE(c.profile_mode_refused());
  EXPECT_EQ(c.mode(), 0);
}

TEST(UdbConverter, StoredProfileLoadsBackIntoAFreshConverter) {
  temp_dir dir;
  test_converter c;
  c.set_source_name(u"ORCL");
  c.set_dest_name(u"/data/out.mdb");
  c.set_mode(3);
  c.set_only_definitions(true);
  c.selected_objects()[u"EMP"] = u"";
  c.selected_objects()[u"Q1"] = u"select *\nfrom dept";
  c.available_queries()[u"Q1"] = u"select *\nfrom dept";
  udb_profile p;
  c.store_profile(p);
  EXPECT_EQ(p.value(u"Generic settings", u"skip indexes"), u"0");
  EXPECT_EQ(p.value(u"Generic settings", u"only definitions"), u"1");
  EXPECT_EQ(p.value(u"Generic settings", u"mode"), u"3");
  ASSERT_TRUE(p.save(wide(dir.file("c.dmw"))));

  test_converter d;
  udb_profile q;
  ASSERT_TRUE(q.load(wide(dir.file("c.dmw"))));
  d.load_profile(q);
  EXPECT_EQ(d.source_name(), u"ORCL");
  EXPECT_EQ(d.dest_name(), u"/data/out.mdb");
  EXPECT_EQ(d.mode(), 3);
  EXPECT_TRUE(d.only_definitions());
  EXPECT_FALSE(d.skip_indexes());
  EXPECT_EQ(d.selected_tables(), std::vector<std::u16string>{u"EMP"});
  EXPECT_EQ(d.selected_objects().at(u"Q1"), u"select * from dept");
  EXPECT_EQ(d.available_queries().at(u"Q1"), u"select * from dept");
}
