// The language module loader against the real registry (HKLM) and real module files beside the
// test program. The registry entry is put back as it was after every test.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/shell.h"
#include "test_support.h"

namespace {

const char kParentKey[] = "Software\\Halvesta Systems";
const char kKey[] = "Software\\Halvesta Systems\\Tessil OVRA";

bool KeyExists(const char* name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, name, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

class LanguageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parentExisted_ = KeyExists(kParentKey);
    keyExisted_ = KeyExists(kKey);
    HKEY key;
    if (keyExisted_ && RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
      savedValue_.resize(4096);
      DWORD size = static_cast<DWORD>(savedValue_.size());
      valueExisted_ =
          RegQueryValueExA(key, "Language", nullptr, &savedType_, savedValue_.data(), &size) == ERROR_SUCCESS;
      savedValue_.resize(size);
      RegCloseKey(key);
    }
  }

  void TearDown() override {
    for (const std::string& file : copies_) DeleteFileA(file.c_str());
    if (!keyExisted_) {
      RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
      if (!parentExisted_) RegDeleteKeyA(HKEY_LOCAL_MACHINE, kParentKey);
      return;
    }
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (valueExisted_)
      RegSetValueExA(key, "Language", 0, savedType_, savedValue_.data(),
                     static_cast<DWORD>(savedValue_.size()));
    else
      RegDeleteValueA(key, "Language");
    RegCloseKey(key);
  }

  // Sets "Language" to the given bytes (the key is created when missing).
  void SetRaw(const void* data, DWORD size, DWORD type) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "Language", 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  void SetCode(const std::string& code) { SetRaw(code.c_str(), static_cast<DWORD>(code.size() + 1), REG_SZ); }

  void DeleteValue() {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
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
  bool parentExisted_ = false, keyExisted_ = false, valueExisted_ = false;
  std::vector<BYTE> savedValue_;
  DWORD savedType_ = REG_SZ;
};

TEST_F(LanguageTest, ChoosesTheModuleNamedByTheCodeElseTheEnglishOne) {
  struct Case {
    std::string code;
    const char* present;  // extra module file beside the program, or null
    const char* expected;
  } cases[] = {
      {"001", nullptr, "REMOT001.DLL"},
      {"002", nullptr, "REMOT001.DLL"},
      {"002", "REMOT002.DLL", "REMOT002.DLL"},
      {"", "REMOT.DLL", "REMOT.DLL"},
      {"", nullptr, "REMOT001.DLL"},
      {std::string(127, '7'), nullptr, "REMOT001.DLL"},  // the longest code that is read
      {std::string(128, '8'), nullptr, nullptr},         // too long: no module at all
      {std::string(300, '9'), nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SetCode(c.code);
    if (c.present) CopyModuleAs(c.present);
    EXPECT_EQ(Loaded(), c.expected ? Beside(c.expected) : "none") << "code '" << c.code << "'";
    for (const std::string& file : copies_) DeleteFileA(file.c_str());
    copies_.clear();
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

}  // namespace
