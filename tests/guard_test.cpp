// The elevated start's decision through stand-ins for the token and security queries (Wine has no
// administrator boundary), over real files in a real folder; then the real queries as Wine answers.
#include "app/guard.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <string>

#include "test_support.h"

namespace {

const char kUser[] = "S-1-5-21-1-2-3-1001";
// As Program Files and the files an installation for all users puts there.
const char kSafe[] =
    "O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;S-1-5-21-1-2-3-1001)";

struct Case {
  const char* name;
  int elevation;
  long integrity;
  int wine;
  const char* object;  // "folder", or a file name in it; the others get kSafe
  const char* sddl;    // "(missing)", "(unreadable)", or its security descriptor
  int result;
  const char* user = kUser;
};

const Case* sCase;
std::string sFolder;

int FakeElevation() {
  return sCase->elevation;
}
long FakeIntegrity() {
  return sCase->integrity;
}
int FakeWine() {
  return sCase->wine;
}
PSID FakeUser() {
  PSID sid = nullptr;
  ConvertStringSidToSidA(sCase->user, &sid);
  return sid;
}
DWORD FakeSecurity(const char* path, PSECURITY_DESCRIPTOR* descriptor) {
  std::string p = path, name = p == sFolder ? "folder" : p.substr(p.rfind('\\') + 1);
  const char* sddl = name == sCase->object ? sCase->sddl : kSafe;
  if (std::string(sddl) == "(missing)") return ERROR_FILE_NOT_FOUND;
  if (std::string(sddl) == "(unreadable)") return ERROR_ACCESS_DENIED;
  return ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, descriptor, nullptr)
             ? ERROR_SUCCESS
             : GetLastError();
}

const int kStart = 0, kRefuse = -1;
const long kMedium = SECURITY_MANDATORY_MEDIUM_RID, kHigh = SECURITY_MANDATORY_HIGH_RID;

TEST(Guard, AnElevatedStartGoesOnOnlyWhereAdministratorsAloneMayChangeThings) {
  const Case cases[] = {
      {"elevated, all guarded", 1, kHigh, 0, "folder", kSafe, kStart},
      {"elevated, Users may change the folder", 1, kHigh, 0, "folder", "O:BAD:(A;;0x1301bf;;;BU)", kRefuse},
      {"elevated, Authenticated Users may add files", 1, kHigh, 0, "folder", "O:BAD:(A;;0x2;;;AU)", kRefuse},
      {"elevated, Everyone has full control", 1, kHigh, 0, "folder", "O:BAD:(A;;FA;;;WD)", kRefuse},
      {"elevated, Interactive may delete children", 1, kHigh, 0, "folder", "O:BAD:(A;;0x40;;;IU)", kRefuse},
      {"elevated, the user's own folder (a just-for-me installation)", 1, kHigh, 0, "folder",
       "O:S-1-5-21-1-2-3-1001D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;S-1-5-21-1-2-3-1001)", kRefuse},
      {"elevated, the folder owned by the user", 1, kHigh, 0, "folder", "O:S-1-5-21-1-2-3-1001D:(A;;FA;;;BA)",
       kRefuse},
      {"elevated, the user may change its permissions", 1, kHigh, 0, "folder",
       "O:BAD:(A;;WD;;;S-1-5-21-1-2-3-1001)", kRefuse},
      {"elevated, a folder without a DACL", 1, kHigh, 0, "folder", "O:BA", kRefuse},
      {"elevated, the folder unreadable", 1, kHigh, 0, "folder", "(unreadable)", kRefuse},
      {"elevated, the user's only by a high label forbidding writing up", 1, kHigh, 0, "folder",
       "O:BAD:(A;;FA;;;S-1-5-21-1-2-3-1001)S:(ML;;NW;;;HI)", kStart},
      {"elevated, Users' full control for new files only", 1, kHigh, 0, "folder",
       "O:BAD:(A;;FA;;;BA)(A;OICIIO;FA;;;BU)", kStart},
      {"elevated, another account may change it", 1, kHigh, 0, "folder",
       "O:BAD:(A;;FA;;;S-1-5-21-9-9-9-1002)", kStart},
      {"elevated, the profile the user's", 1, kHigh, 0, "profiles.ini", "O:BAD:(A;;FA;;;S-1-5-21-1-2-3-1001)",
       kRefuse},
      {"elevated, no profile", 1, kHigh, 0, "profiles.ini", "(missing)", kStart},
      {"elevated, a language module Users may write", 1, kHigh, 0, "REMOT002.DLL", "O:BAD:(A;;0x116;;;BU)",
       kRefuse},
      {"elevated, a language module Users may only read", 1, kHigh, 0, "REMOT002.DLL",
       "O:BAD:(A;;0x1200a9;;;BU)", kStart},
      {"elevation query failed, integrity high", -1, kHigh, 0, "folder", "O:BAD:(A;;FA;;;BU)", kRefuse},
      {"not elevated, integrity system", 0, SECURITY_MANDATORY_SYSTEM_RID, 0, "folder", "O:BAD:(A;;FA;;;BU)",
       kRefuse},
      {"not elevated, integrity medium: anything goes", 0, kMedium, 0, "folder", "O:BAD:(A;;FA;;;WD)",
       kStart},
      {"both queries failed: not elevated", -1, -1, 0, "folder", "O:BAD:(A;;FA;;;WD)", kStart},
      {"Wine: elevated by its word, but nothing is guarded there", 1, kHigh, 1, "folder",
       "O:BAD:(A;;FA;;;WD)", kStart},
      {"run as the system: its own full control is no risk", 1, SECURITY_MANDATORY_SYSTEM_RID, 0, "folder",
       "O:SYD:(A;;FA;;;SY)(A;;FA;;;BA)", kStart, "S-1-5-18"},
  };
  TempDir dir;
  for (const char* file : {"profiles.ini", "REMOT001.DLL", "REMOT002.DLL", "remote.exe"})
    dir.Write(file, "x");
  sFolder = dir.path();
  GuardQueries real = gGuardQueries;
  gGuardQueries = {FakeElevation, FakeIntegrity, FakeUser, FakeSecurity, FakeWine};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sCase = &c;
    int elevated = -1;
    char unsafe[MAX_PATH] = "stale";
    EXPECT_EQ(GuardCheckStart((dir.path() + "\\").c_str(), &elevated, unsafe), c.result);
    std::string where = std::string(c.object) == "folder" ? dir.path() : dir.File(c.object);
    EXPECT_EQ(unsafe, c.result == kRefuse ? where : "");
  }
  gGuardQueries = real;
}

// The real queries: Wine answers them (elevated, high integrity, every file the user's) but is not
// taken at its word.
TEST(Guard, RealQueriesUnderWine) {
  TempDir dir;
  if (gGuardQueries.unguarded()) {
    EXPECT_EQ(GuardElevated(), 0);
  }
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(gGuardQueries.security(dir.path().c_str(), &descriptor), DWORD(ERROR_SUCCESS));
  PSID user = gGuardQueries.user();
  ASSERT_NE(user, nullptr);
  EXPECT_EQ(GuardChangeable(descriptor, user), 1) << "the user's own temporary folder";
  LocalFree(descriptor);
  LocalFree(user);
  EXPECT_EQ(gGuardQueries.security(dir.File("none").c_str(), &descriptor), DWORD(ERROR_FILE_NOT_FOUND));
  int elevated = -1;
  char unsafe[MAX_PATH];
  EXPECT_EQ(GuardCheckStart((dir.path() + "\\").c_str(), &elevated, unsafe), 0);
  printf("this system: elevation %d, integrity %lx, Wine %d\n", gGuardQueries.elevation(),
         gGuardQueries.integrity(), gGuardQueries.unguarded());
}

}  // namespace
