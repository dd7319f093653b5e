#include "platform/registry.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <thread>
#include <vector>

#include "tests/TK/store_home.h"

using namespace platform;

namespace {
const char16_t kKey[] = u"Software\\Kestrova\\Dunmarrow";

// Owns an open key for one test.
struct open_key {
  HKEY key = nullptr;
  ~open_key() { if (key) RegCloseKey(key); }
};

LSTATUS set_text(HKEY key, const std::u16string& name, const std::u16string& text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) { bytes.push_back(uint8_t(c & 0xFF)); bytes.push_back(uint8_t(c >> 8)); }
  bytes.push_back(0);
  bytes.push_back(0);
  return RegSetValueExW(key, name, REG_SZ, bytes.data(), DWORD(bytes.size()));
}

std::u16string get_text(HKEY key, const std::u16string& name) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, name, &type, nullptr, &size) != ERROR_SUCCESS) return u"<missing>";
  std::vector<uint8_t> bytes(size);
  if (RegQueryValueExW(key, name, &type, bytes.data(), &size) != ERROR_SUCCESS || type != REG_SZ ||
      size < 2 || bytes[size - 2] || bytes[size - 1])
    return u"<bad>";
  std::u16string text;
  for (size_t i = 0; i + 2 < size; i += 2) text += char16_t(bytes[i] | (bytes[i + 1] << 8));
  return text;
}

mode_t mode_of(const std::string& path) {
  struct stat st{};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}
}  // namespace

TEST(Registry, AnyTextSurvivesTheStoreFile) {
  store_home home;
  const std::u16string texts[] = {
      u"",
      u"C:\\data\\out.mdb",
      u"line one\r\nline two\nthree\rfour",
      u"quote \" backslash \\ bracket ] [ equals = tab \t",
      std::u16string(u"nul\0inside", 10),
      u"\u00e9\u4e2d \U0001F600",
      u"lone \xD800 high and \xDC00 low",
      u"\\u0041 is not an escape here",
      u"\x01\x1f\x7f",
  };
  {
    open_key k;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, KEY_ALL_ACCESS, &k.key), ERROR_SUCCESS);
    for (size_t i = 0; i < std::size(texts); ++i)
      ASSERT_EQ(set_text(k.key, u"v" + texts[i], texts[i]), ERROR_SUCCESS) << i;
  }
  open_key k;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, KEY_READ, &k.key), ERROR_SUCCESS);
  for (size_t i = 0; i < std::size(texts); ++i) EXPECT_EQ(get_text(k.key, u"v" + texts[i]), texts[i]) << i;
}

TEST(Registry, NumbersAndOtherDataKeepTheirTypeAndBytes) {
  store_home home;
  open_key k;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, KEY_ALL_ACCESS, &k.key), ERROR_SUCCESS);
  const uint8_t number[4] = {0x2a, 0, 0, 0x80};
  const uint8_t odd[3] = {0x41, 0x00, 0x42};  // a REG_SZ of odd size is kept as bytes
  const uint8_t blob[2] = {0xff, 0x00};
  ASSERT_EQ(RegSetValueExW(k.key, u"format", REG_DWORD, number, 4), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(k.key, u"odd", REG_SZ, odd, 3), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(k.key, u"blob", 7, blob, 2), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(k.key, u"empty", REG_BINARY, nullptr, 0), ERROR_SUCCESS);

  struct expected { const char16_t* name; DWORD type; std::vector<uint8_t> bytes; };
  const expected all[] = {{u"format", REG_DWORD, {0x2a, 0, 0, 0x80}},
                          {u"odd", REG_SZ, {0x41, 0, 0x42}},
                          {u"blob", 7, {0xff, 0}},
                          {u"empty", REG_BINARY, {}}};
  for (const expected& e : all) {
    DWORD type = 0, size = 16;
    uint8_t data[16];
    ASSERT_EQ(RegQueryValueExW(k.key, e.name, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, e.type);
    EXPECT_EQ(std::vector<uint8_t>(data, data + size), e.bytes);
  }
}

TEST(Registry, StoreFileFormatIsReadableText) {
  store_home home;
  open_key k;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, KEY_ALL_ACCESS, &k.key), ERROR_SUCCESS);
  const uint8_t one[4] = {1, 0, 0, 0};
  ASSERT_EQ(RegSetValueExW(k.key, u"format", REG_DWORD, one, 4), ERROR_SUCCESS);
  ASSERT_EQ(set_text(k.key, u"dest", u"a\\b\r\n\u00e9"), ERROR_SUCCESS);
  EXPECT_EQ(registry_file_path(), home.path() + "/dunmarrow/registry");
  EXPECT_EQ(read_bytes(registry_file_path()),
            "DUNMARROW REGISTRY 1\n"
            "[Software\\\\Kestrova\\\\Dunmarrow]\n"
            "\"format\"=dword:00000001\n"
            "\"dest\"=sz:a\\\\b\\r\\n\xc3\xa9\n");
}

TEST(Registry, FilesAreOwnerOnlyAndReplacedWhole) {
  store_home home;
  open_key k;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, KEY_ALL_ACCESS, &k.key), ERROR_SUCCESS);
  ASSERT_EQ(set_text(k.key, u"oraclep", u"secret"), ERROR_SUCCESS);
  std::string file = registry_file_path();
  EXPECT_EQ(mode_of(file), 0600u);
  EXPECT_EQ(mode_of(home.path() + "/dunmarrow"), 0700u);

  // A reader that opened the old file keeps a complete old store: the new
  // store arrives as a different file renamed over it, never written in place.
  int reader = ::open(file.c_str(), O_RDONLY);
  ASSERT_GE(reader, 0);
  std::string before = read_bytes(file);
  ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
  ASSERT_EQ(::chmod((home.path() + "/dunmarrow").c_str(), 0755), 0);
  ASSERT_EQ(set_text(k.key, u"oraclep", u"changed"), ERROR_SUCCESS);
  std::string seen(before.size() + 64, '\0');
  ssize_t n = ::pread(reader, seen.data(), seen.size(), 0);
  ::close(reader);
  EXPECT_EQ(seen.substr(0, size_t(n)), before);
  EXPECT_EQ(mode_of(file), 0600u);  // a widened mode does not survive a write
  EXPECT_EQ(mode_of(home.path() + "/dunmarrow"), 0700u);
  EXPECT_EQ(get_text(k.key, u"oraclep"), u"changed");

  // No temporary files are left behind.
  for (const auto& entry : std::filesystem::directory_iterator(home.path() + "/dunmarrow")) {
    std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "registry" || name == "registry.lock") << name;
  }
}

TEST(Registry, MissingKeysAndValuesAreReportedNotCreated) {
  store_home home;
  open_key k;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, KEY_READ, &k.key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(k.key, nullptr);
  EXPECT_FALSE(std::filesystem::exists(registry_file_path()));
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, KEY_ALL_ACCESS, &k.key), ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExW(k.key, u"dest", &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  // Parents of a key exist; names compare ignoring ASCII case and extra separators.
  open_key parent, same;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"software\\KESTROVA", KEY_READ, &parent.key), ERROR_SUCCESS);
  ASSERT_EQ(set_text(k.key, u"Dest", u"x.mdb"), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExW(parent.key, u"\\dunmarrow\\", KEY_READ, &same.key), ERROR_SUCCESS);
  EXPECT_EQ(get_text(same.key, u"DEST"), u"x.mdb");
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Kestrova\\Dunmarrow2", KEY_READ, &same.key),
            ERROR_FILE_NOT_FOUND);
}

TEST(Registry, QuerySizesFollowWindows) {
  store_home home;
  open_key k;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, KEY_ALL_ACCESS, &k.key), ERROR_SUCCESS);
  ASSERT_EQ(set_text(k.key, u"port", u"1521"), ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExW(k.key, u"port", &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 10u);  // four characters and the terminator
  uint8_t small[4];
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExW(k.key, u"port", &type, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(RegQueryValueExW(k.key, u"port", &type, small, nullptr), ERROR_INVALID_PARAMETER);
}

TEST(Registry, HandlesAreChecked) {
  store_home home;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(set_text(key, u"src", u"x"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(set_text(key, u"src", u"x"), ERROR_INVALID_HANDLE);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key, u"src", nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCreateKeyExW(nullptr, kKey, KEY_READ, &key), ERROR_INVALID_HANDLE);
}

TEST(Registry, DamagedStoreIsNeitherReadNorOverwritten) {
  store_home home;
  open_key k;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, KEY_ALL_ACCESS, &k.key), ERROR_SUCCESS);
  const std::string damaged = "DUNMARROW REGISTRY 1\n[Software]\n\"x\"=sz:bad \\q escape\n";
  write_bytes(registry_file_path(), damaged);
  EXPECT_EQ(set_text(k.key, u"src", u"x"), ERROR_BADDB);
  EXPECT_EQ(get_text(k.key, u"src"), u"<missing>");
  EXPECT_EQ(read_bytes(registry_file_path()), damaged);
  write_bytes(registry_file_path(), "not a store\n");
  EXPECT_EQ(set_text(k.key, u"src", u"x"), ERROR_BADDB);
  // A store edited with CR LF line ends is still read.
  write_bytes(registry_file_path(),
              "DUNMARROW REGISTRY 1\r\n[Software\\\\Kestrova\\\\Dunmarrow]\r\n\"src\"=sz:ORCL\r\n");
  EXPECT_EQ(get_text(k.key, u"src"), u"ORCL");
}

TEST(Registry, ConcurrentWritersLoseNoValue) {
  store_home home;
  constexpr int kThreads = 4, kValues = 10;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([t] {
      HKEY key = nullptr;
      if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
      for (int i = 0; i < kValues; ++i) {
        std::string name = "t" + std::to_string(t) + "_" + std::to_string(i);
        set_text(key, std::u16string(name.begin(), name.end()), u"v");
      }
      RegCloseKey(key);
    });
  }
  for (std::thread& w : writers) w.join();
  open_key k;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKey, KEY_READ, &k.key), ERROR_SUCCESS);
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kValues; ++i) {
      std::string name = "t" + std::to_string(t) + "_" + std::to_string(i);
      EXPECT_EQ(get_text(k.key, std::u16string(name.begin(), name.end())), u"v") << name;
    }
}
