#include <gtest/gtest.h>
#include <windows.h>

TEST(Smoke, LanguageModuleLoads) {
  HMODULE m = LoadLibraryA("REMOT001.DLL");
  ASSERT_NE(m, nullptr);
  char text[256] = "";
  EXPECT_GT(LoadStringA(m, 1, text, sizeof text), 0);
}
