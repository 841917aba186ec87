// The language module loader against the real registry (HKLM, and HKCU where HKLM has nothing) and
// real module files beside the test program. The registry entries are put back as they were after
// every test.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/language.h"
#include "common/langmodule.h"
#include "resources/resource_ids.h"
#include "test_support.h"

namespace {

const char kParentKey[] = "Software\\Halvesta Systems";
const char kKey[] = "Software\\Halvesta Systems\\Tessil OVRA";

bool KeyExists(const char* name, HKEY root = HKEY_LOCAL_MACHINE) {
  HKEY key;
  if (RegOpenKeyExA(root, name, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// The maker's key and its "Language" value under one root, as the test found them.
struct SavedEntry {
  bool parentExisted = false, keyExisted = false, valueExisted = false;
  std::vector<BYTE> value;
  DWORD type = REG_SZ;

  void Save(HKEY root) {
    parentExisted = KeyExists(kParentKey, root);
    keyExisted = KeyExists(kKey, root);
    HKEY key;
    if (keyExisted && RegOpenKeyExA(root, kKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
      value.resize(4096);
      DWORD size = static_cast<DWORD>(value.size());
      valueExisted = RegQueryValueExA(key, "Language", nullptr, &type, value.data(), &size) == ERROR_SUCCESS;
      value.resize(size);
      RegCloseKey(key);
    }
  }
  void Restore(HKEY root) const {
    if (!keyExisted) {
      RegDeleteKeyA(root, kKey);
      if (!parentExisted) RegDeleteKeyA(root, kParentKey);
      return;
    }
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(root, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
    if (valueExisted)
      RegSetValueExA(key, "Language", 0, type, value.data(), static_cast<DWORD>(value.size()));
    else
      RegDeleteValueA(key, "Language");
    RegCloseKey(key);
  }
};

// The user's entry is taken away for the tests of the machine's: it would stand in for a missing one.
class LanguageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_.Save(HKEY_LOCAL_MACHINE);
    user_.Save(HKEY_CURRENT_USER);
    RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
  }

  void TearDown() override {
    for (const std::string& file : copies_) DeleteFileA(file.c_str());
    machine_.Restore(HKEY_LOCAL_MACHINE);
    user_.Restore(HKEY_CURRENT_USER);
  }

  // Sets "Language" to the given bytes (the key is created when missing).
  void SetRaw(const void* data, DWORD size, DWORD type, HKEY root = HKEY_LOCAL_MACHINE) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(root, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "Language", 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  void SetCode(const std::string& code, HKEY root = HKEY_LOCAL_MACHINE) {
    SetRaw(code.c_str(), static_cast<DWORD>(code.size() + 1), REG_SZ, root);
  }

  void DeleteValue(HKEY root = HKEY_LOCAL_MACHINE) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(root, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
    RegDeleteValueA(key, "Language");
    RegCloseKey(key);
  }

  // Puts a copy of the English module beside the test program (removed after the test).
  void CopyModuleAs(const std::string& name) {
    std::string to = ProgramFolder() + name;
    ASSERT_TRUE(CopyFileA((ProgramFolder() + "REMOT001.DLL").c_str(), to.c_str(), FALSE)) << to;
    copies_.push_back(to);
  }

  // Full path of the module the loader chose, or "none". The module is freed again.
  static std::string Loaded() {
    HMODULE module = LoadLanguageModule(GetModuleHandleA(nullptr));
    if (!module) return "none";
    char path[MAX_PATH] = "";
    GetModuleFileNameA(module, path, MAX_PATH);
    FreeLibrary(module);
    return CharUpperA(path);
  }
  static std::string Beside(const std::string& name) {
    std::string path = ProgramFolder() + name;
    return CharUpperA(&path[0]);
  }

  std::vector<std::string> copies_;
  SavedEntry machine_, user_;
};

TEST_F(LanguageTest, ChoosesTheModuleNamedByTheCodeElseTheEnglishOne) {
  struct Case {
    std::string code;
    std::string present;   // extra module file beside the program, or empty
    std::string expected;  // empty: no module
  } cases[] = {
      {"001", "", "REMOT001.DLL"},
      {"002", "", "REMOT001.DLL"},
      {"002", "REMOT002.DLL", "REMOT002.DLL"},
      {"", "REMOT.DLL", "REMOT.DLL"},
      {"", "", "REMOT001.DLL"},
      {std::string(32, '7'), "REMOT" + std::string(32, '7') + ".DLL",
       "REMOT" + std::string(32, '7') + ".DLL"},
      {std::string(33, '7'), "REMOT" + std::string(33, '7') + ".DLL", "REMOT001.DLL"},  // longer than a name
      {std::string(127, '7'), "", "REMOT001.DLL"},  // the longest code that is read
      {std::string(128, '8'), "", ""},              // too long: no module at all
      {std::string(300, '9'), "", ""},
      {"en-GB_2", "REMOTen-GB_2.DLL", "REMOTEN-GB_2.DLL"},
  };
  for (const Case& c : cases) {
    SetCode(c.code);
    if (!c.present.empty()) CopyModuleAs(c.present);
    EXPECT_EQ(Loaded(), c.expected.empty() ? "none" : Beside(c.expected)) << "code '" << c.code << "'";
    for (const std::string& file : copies_) DeleteFileA(file.c_str());
    copies_.clear();
  }
}

// A code that is a path, not a name, never reaches the file name: a module planted where it points
// is not loaded, the English one is.
TEST_F(LanguageTest, ACodeThatIsAPathTakesTheEnglishModule) {
  // "REMOT" + "\..\planted\x" + ".DLL" would be planted\x.DLL beside the program.
  std::string planted = ProgramFolder() + "planted";
  CreateDirectoryA(planted.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA((ProgramFolder() + "REMOT001.DLL").c_str(), (planted + "\\x.DLL").c_str(), FALSE));
  CopyModuleAs("REMOT..DLL");
  const std::string cases[] = {
      "\\..\\planted\\x",   "/../planted/x", "a/b", "a\\b", "..", ".", "C:x", "x y", "x.y", "x:", "\xE9",
      std::string(33, 'x'),
  };
  for (const std::string& code : cases) {
    EXPECT_FALSE(LanguageCodeValid(code.c_str())) << code;
    SetCode(code);
    EXPECT_EQ(Loaded(), Beside("REMOT001.DLL")) << "code '" << code << "'";
  }
  for (const char* good : {"001", "049", "de-CH", "pt_BR", "", "abcdefghijklmnopqrstuvwxyz012345"})
    EXPECT_TRUE(LanguageCodeValid(good)) << good;
  DeleteFileA((planted + "\\x.DLL").c_str());
  RemoveDirectoryA(planted.c_str());
}

// Run with administrator rights the user's value is never read.
TEST_F(LanguageTest, MachineOnlyNeverReadsTheUsersValue) {
  CopyModuleAs("REMOT002.DLL");
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
  SetCode("002", HKEY_CURRENT_USER);
  HMODULE module = LoadLanguageModule(GetModuleHandleA(nullptr), true);
  EXPECT_EQ(module, nullptr);
  if (module) FreeLibrary(module);
  SetCode("001");
  module = LoadLanguageModule(GetModuleHandleA(nullptr), true);
  ASSERT_NE(module, nullptr);
  char path[MAX_PATH] = "";
  GetModuleFileNameA(module, path, MAX_PATH);
  FreeLibrary(module);
  EXPECT_EQ(std::string(CharUpperA(path)), Beside("REMOT001.DLL"));
}

// The user's own value comes first; without a usable one the machine's, then the user's again (no module).
TEST_F(LanguageTest, TheUsersOwnValueComesBeforeTheMachines) {
  enum Machine { kNoKey, kNoValue, kCode001, kTooLong };
  const std::string tooLong(200, '2');
  struct Case {
    const char* name;
    Machine machine;
    const char* user;  // the user's code, or null: no user key
    const char* expected;
  } cases[] = {
      {"no machine key: the user's code", kNoKey, "002", "REMOT002.DLL"},
      {"machine key without value: the user's code", kNoValue, "002", "REMOT002.DLL"},
      {"the user's code whose file is missing: English", kNoKey, "005", "REMOT001.DLL"},
      {"both: the user's own choice wins", kCode001, "002", "REMOT002.DLL"},
      {"a user's value too long: the machine's", kCode001, tooLong.c_str(), "REMOT001.DLL"},
      {"a user's choice passes over a machine value too long", kTooLong, "002", "REMOT002.DLL"},
      {"a machine value too long, no user's: none", kTooLong, nullptr, nullptr},
      {"neither", kNoValue, nullptr, nullptr},
  };
  CopyModuleAs("REMOT002.DLL");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
    if (c.machine == kNoValue) DeleteValue();
    if (c.machine == kCode001) SetCode("001");
    if (c.machine == kTooLong) SetCode(std::string(200, '2'));
    if (c.user) SetCode(c.user, HKEY_CURRENT_USER);
    EXPECT_EQ(Loaded(), c.expected ? Beside(c.expected) : "none");
  }
}

TEST_F(LanguageTest, NoKeyGivesNoModule) {
  if (KeyExists(kKey)) {
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey), ERROR_SUCCESS);
  }
  EXPECT_EQ(Loaded(), "none");
}

TEST_F(LanguageTest, KeyWithoutTheValueGivesNoModuleEvenBesideTheEnglishOne) {
  DeleteValue();
  ASSERT_NE(GetFileAttributesA((ProgramFolder() + "REMOT001.DLL").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(Loaded(), "none");
}

TEST_F(LanguageTest, LooksBesideTheProgramNotInTheCurrentFolder) {
  TempDir elsewhere;
  ASSERT_TRUE(
      CopyFileA((ProgramFolder() + "REMOT001.DLL").c_str(), elsewhere.File("REMOT003.DLL").c_str(), FALSE));
  char before[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, before);
  ASSERT_TRUE(SetCurrentDirectoryA(elsewhere.path().c_str()));
  SetCode("003");
  std::string loaded = Loaded();
  SetCode("001");
  std::string english = Loaded();
  SetCurrentDirectoryA(before);
  EXPECT_EQ(loaded, Beside("REMOT001.DLL"));
  EXPECT_EQ(english, Beside("REMOT001.DLL"));
}

TEST_F(LanguageTest, ValueWithoutTerminatorIsCutWhereItEnds) {
  CopyModuleAs("REMOT002.DLL");
  SetRaw("002", 3, REG_BINARY);
  EXPECT_EQ(Loaded(), Beside("REMOT002.DLL"));
  // 128 bytes without a terminator are a code of 128 characters: too long.
  std::string full(128, '2');
  SetRaw(full.data(), 128, REG_BINARY);
  EXPECT_EQ(Loaded(), "none");
}

// Code page 0 is plain ASCII, which every system shows; a system set to UTF-8 shows every module.
TEST(LanguageCodePage, ShowsOnlyWhereTheSystemCanShowTheTexts) {
  struct Case {
    unsigned needed, system;
    bool shows;
  } cases[] = {
      {0, 1252, true},     {0, 1251, true},     {0, 932, true},       {1252, 1252, true},
      {1252, 1251, false}, {1252, 1250, false}, {1251, 1252, false},  {936, 932, false},
      {1252, 65001, true}, {1251, 65001, true}, {65001, 1252, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LanguageCodePageShows(c.needed, c.system), c.shows) << c.needed << " on " << c.system;
}

// Every text of every module beside the program comes out in the code page the module names,
// without a character lost to '?'; the names of German, French and Spanish arrive in Western
// European bytes through the ANSI call, as the program reads them.
TEST(LanguageModules, TextsFitTheirCodePage) {
  static const int kIds[] = {
      IDS_MENU_EXIT,
      IDS_MENU_SETUP,
      IDS_MENU_ACTIVITY,
#define REMOTE_TEXT(id, text) id,
#include "resources/texts001.inc"
#undef REMOTE_TEXT
  };
  struct Case {
    const char* file;
    unsigned codePage;
    const char* name;  // IDS_LANGUAGE_NAME in that code page
  } cases[] = {
      {"REMOT001.DLL", 0, "English"},
      {"REMOT049.DLL", 1252, "Deutsch"},
      {"REMOT033.DLL", 1252, "Fran\347ais"},
      {"REMOT034.DLL", 1252, "Espa\361ol"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    HMODULE module = LoadLibraryExA((ProgramFolder() + c.file).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module);
    EXPECT_EQ(LanguageModuleCodePage(module), c.codePage);
    for (int id : kIds) {
      wchar_t wide[1024];
      int n = LoadStringW(module, UINT(id), wide, 1024);
      ASSERT_GT(n, 0) << "text " << id;
      BOOL lost = FALSE;
      char bytes[2048];
      WideCharToMultiByte(c.codePage ? c.codePage : 20127, 0, wide, n, bytes, sizeof bytes, nullptr, &lost);
      EXPECT_FALSE(lost) << "text " << id << " has a character that code page " << c.codePage << " lacks";
    }
    char name[64] = "";
    LoadStringA(module, IDS_LANGUAGE_NAME, name, sizeof name);
    if (GetACP() == 1252 || c.codePage == 0) {
      EXPECT_STREQ(name, c.name);
    }
    FreeLibrary(module);
  }
}

}  // namespace
