// Start-up pieces that run in-process: the profile path, the single-instance guard and Initialise.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "actions/inject.h"
#include "common/process.h"
#include "app/shell.h"
#include "test_support.h"

namespace {

std::string ProfilePath(const std::string& moduleFile) {
  char path[MAX_PATH + 16];
  memset(path, 'x', sizeof path);
  ProfilePathFor(moduleFile.c_str(), path);
  EXPECT_EQ(path[MAX_PATH + 15], 'x');  // nothing written past the buffer's end
  return path;
}

TEST(ProfilePathFor, NamesTheFileBesideTheProgram) {
  std::string folder250 = "C:\\" + std::string(246, 'd') + "\\";  // 250 characters
  ASSERT_EQ(folder250.size(), 250u);
  std::string folder247 = folder250.substr(0, 246) + "\\";  // 247: with "profiles.ini" exactly 259
  struct Case {
    std::string program;
    std::string expected;
  } cases[] = {
      {"C:\\Apps\\Remote\\remote.exe", "C:\\Apps\\Remote\\profiles.ini"},
      {"C:\\remote.exe", "C:\\profiles.ini"},
      {"remote.exe", "profiles.ini"},
      {"", "profiles.ini"},
      {"\\\\server\\share\\remote.exe", "\\\\server\\share\\profiles.ini"},
      {"C:\\Apps\\Remote\\", "C:\\Apps\\Remote\\profiles.ini"},
      {folder247 + "r.exe", folder247 + "profiles.ini"},
      // 259 characters whose folder leaves no room for "profiles.ini": the bare name, nothing overrun.
      {folder250 + "remote.e", "profiles.ini"},
  };
  for (const Case& c : cases) EXPECT_EQ(ProfilePath(c.program), c.expected) << c.program;
}

TEST(Initialise, AnotherInstanceHoldingTheMutexGivesMinusThree) {
  HANDLE other = CreateMutexA(nullptr, TRUE, "HALVESTA_SYSTEMS_Remote_MUTEX");
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(Initialise(GetModuleHandleA(nullptr), nullptr), kStartOtherInstance);
  CloseHandle(other);
  // The failed start took no mutex of its own.
  HANDLE left = OpenMutexA(SYNCHRONIZE, FALSE, "HALVESTA_SYSTEMS_Remote_MUTEX");
  EXPECT_EQ(left, nullptr);
  if (left) CloseHandle(left);
}

TEST(Initialise, TakesTheMutexAndSetsTheProfilePathWhateverTheCurrentFolder) {
  TempDir elsewhere;
  char before[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, before);
  ASSERT_TRUE(SetCurrentDirectoryA(elsewhere.path().c_str()));
  strcpy(gProfilePath, "unset");
  int result = Initialise(GetModuleHandleA(nullptr), nullptr);
  SetCurrentDirectoryA(before);
  if (result == kStartNoBackEnd) {
    // Only acceptable while this build has no keystroke back end at all.
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    EXPECT_LT(ChooseKeystrokeBackEnd(&version), 0);
    GTEST_SKIP() << "no keystroke back end in this build";
  }
  ASSERT_EQ(result, kStartOk);
  EXPECT_EQ(std::string(gProfilePath), ProgramFolder() + "profiles.ini");
  HANDLE held = OpenMutexA(SYNCHRONIZE, FALSE, "HALVESTA_SYSTEMS_Remote_MUTEX");
  EXPECT_NE(held, nullptr);
  if (held) CloseHandle(held);
  EXPECT_EQ(Initialise(GetModuleHandleA(nullptr), nullptr), kStartOtherInstance);

  Shutdown();
  held = OpenMutexA(SYNCHRONIZE, FALSE, "HALVESTA_SYSTEMS_Remote_MUTEX");
  EXPECT_EQ(held, nullptr);
  if (held) CloseHandle(held);
}

}  // namespace
