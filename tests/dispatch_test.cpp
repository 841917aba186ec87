#include "common/process.h"
#include "actions/dispatch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <mmsystem.h>

#include <stdio.h>
#include <string.h>

#include <atomic>
#include <functional>
#include <thread>
#include <string>
#include <vector>

#include "actions/inject.h"
#include "actions/integrity.h"
#include "common/activitylog.h"
#include "actions/interp.h"
#include "profile/profile.h"
#include "profile/profilepath.h"
#include "profile/profilewrite.h"

#include "setup/savetext.h"
#include "receiver/keyqueue.h"
#include "test_support.h"

static const std::string kLong255(255, 'L');
static const std::string kLongest(kActionLineMax, 'N');      // runs
static const std::string kTooLong(kActionLineMax + 1, 'T');  // never runs
static const char kProgram[] = "dispatch_test.exe";          // this test program's file name

// The sections of the later steps: title patterns and a window class (this test's window's).
static const char kClass[] = "DispatchTestWindow";
static std::string NewSections() {
  return "[*youtube*]\r\n"
         "Key1=pattern youtube\r\n"
         "Key.DEMO.KEY_PLAY=youtube demo play\r\n"
         "Key2=\r\n"
         "[* - Browser]\r\n"
         "Key1=browser one\r\n"
         "Key.KEY_PLAY=browser play\r\n"
         "Key2=browser two\r\n"
         "Key8=" +
         kTooLong +
         "\r\n"
         "[*Doc - ?]\r\n"
         "Key1=doc pattern one\r\n"
         "Key2=doc pattern two\r\n"
         "[class:DISPATCHTESTWINDOW]\r\n"
         "Key2=class two\r\n"
         "Key4=class four\r\n"
         "[class:]\r\n"
         "Key5=no class has no name\r\n";
}

// The profile of the lookup tests; `programs` adds a section for this test program, `extra` the
// sections of patterns and classes.
static std::string Profile(bool programs = true, bool extra = false) {
  return "Key1=above the first section\r\n"  // not a section of its own: never read
         "[default]\r\n"
         "Key1=default one\r\n"
         "Key2=default two\r\n"
         "Key7=default seven\r\n"
         "Key8=default eight\r\n"
         "Key99=sentinel\r\n"
         "Key.KEY_PLAY=default play\r\n"
         "Key.DEMO.KEY_PLAY=default demo play\r\n"
         "Key.DEMO.KEY_OK=default demo ok\r\n"
         "[title -]\r\n"
         "Untitled -=Editor\r\n"
         "Doc -=Editor\r\n"
         "Setup-=Editor\r\n"
         "Calculator=Editor\r\n"
         "Blank -=\r\n"
         "Ghost -=Nowhere\r\n"
         "[Editor]\r\n"
         "Key1=editor one\r\n"
         "key.key_ok=editor ok\r\n"
         "[Doc - A]\r\n"
         "Key1=direct doc\r\n"
         "[Calculator]\r\n"
         "Key2=calc two\r\n"
         "Key.TV.KEY_UP=calc tv up\r\n"
         "Key7=\r\n"
         "[setup-]\r\n"
         "Key2=setup two\r\n"
         "[MiXeD CaSe]\r\n"
         "kEy4=mixed four\r\n"
         "[Long]\r\n"
         "Key3=" +
         kLong255 +
         "\r\n"
         "Key5=" +
         std::string(300, 'M') +
         "\r\n"
         "Key6=" +
         kLongest +
         "\r\n"
         "Key8=" +
         kTooLong + "\r\n" +
         (programs ? "[DISPATCH_TEST.EXE]\r\n"  // any letter case
                     "Key1=program one\r\n"
                     "Key2=program two\r\n"
                     "Key7=\r\n"
                     "Key9=" +
                         kTooLong + "\r\n"
                   : std::string()) +
         (extra ? NewSections() : std::string());
}

static const char kNotRun[] = "(too long: not run)";

struct LookupCase {
  const char* title;
  int code;
  std::string line;               // empty: no action; kNotRun: an entry too long to run
  const char* withProgram;        // the line when the profile has a section for this program; null: the same
  const char* withNew = nullptr;  // the line when it has the pattern and class sections; null: the same
  const char* remote = nullptr;   // with a name: a named button (code unused), of this remote
  const char* name = nullptr;
};

static const LookupCase kLookupCases[] = {
    {"Untitled - Notepad", 1, "editor one", nullptr},  // through the alias, ahead of the program
    {"Untitled - Notepad", 2, "default two", "program two", "class two"},  // alias section lacks the key
    {"Doc - A", 1, "direct doc", nullptr},             // the title's own section comes first
    {"Calculator", 2, "calc two", nullptr},            //
    {"Calculator", 7, "default seven", nullptr},       // an empty value counts as missing
    {"Calculator", 1, "default one", "program one"},   // no dash: no alias, whatever "title -" holds
    {"Setup-", 1, "default one", "program one"},       // dash at the end: no alias
    {"Setup-", 2, "setup two", nullptr},               // section names in another letter case
    {"mixed case", 4, "mixed four", nullptr},          // key names too
    {"Blank - doc", 1, "default one", "program one"},  // empty alias value
    {"Ghost - doc", 1, "default one", "program one"},  // alias names a missing section
    {"Long", 3, kLong255, nullptr},                    //
    {"Long", 5, std::string(300, 'M'), nullptr},       // read whole, not cut at 255
    {"Long", 6, kLongest, nullptr},                    // the longest line that runs
    {"Long", 8, kNotRun, nullptr},                     // longer: not run, and not default's either
    {"Calculator", 9, "", kNotRun},                    //
    {"Calculator", 5, "", nullptr},                    // no entry anywhere
    {"", 1, "default one", "program one"},             // a window without a title
    // Title patterns after the alias, then the window's class, then the program.
    {"Holiday - YouTube - Browser", 1, "default one", "program one", "pattern youtube"},
    {"holiday - YOUTUBE - browser", 1, "default one", "program one", "pattern youtube"},  // any case
    {"Holiday - YouTube - Browser", 2, "default two", "program two", "browser two"},  // next in file order
    {"Inbox - Mail - Browser", 1, "default one", "program one", "browser one"},       //
    {"Inbox - Mail - Browser", 8, "default eight", nullptr, kNotRun},                 // too long: stops there
    {"Doc - A", 2, "default two", "program two", "doc pattern two"},                  // alias lacks it
    {"Doc - B", 1, "editor one", nullptr, nullptr},              // the alias before the pattern
    {"Doc - AB", 2, "default two", "program two", "class two"},  // "?" is one character
    {"Calculator", 4, "", nullptr, "class four"},                //
    {"Calculator", 2, "calc two", nullptr, nullptr},             // the title before the class
    {"Calculator", 5, "", nullptr, nullptr},                     // [class:] serves no window
    // Named buttons: Key.REMOTE.NAME before Key.NAME within a section, the sections in the same order.
    {"Calculator", -1, "default demo play", nullptr, nullptr, "demo", "key_play"},  // any case
    {"Calculator", -1, "default play", nullptr, nullptr, "TV", "KEY_PLAY"},         // another remote
    {"Calculator", -1, "default play", nullptr, nullptr, "", "KEY_PLAY"},           // no remote given
    {"Untitled - Notepad", -1, "editor ok", nullptr, nullptr, "DEMO", "KEY_OK"},    // the section first
    {"Calculator", -1, "calc tv up", nullptr, nullptr, "TV", "KEY_UP"},             //
    {"Calculator", -1, "", nullptr, nullptr, "DEMO", "KEY_UP"},                     // only that remote's
    {"Holiday - YouTube - Browser", -1, "default demo play", nullptr, "youtube demo play", "DEMO",
     "KEY_PLAY"},
    {"Holiday - YouTube - Browser", -1, "default play", nullptr, "browser play", "TV", "KEY_PLAY"},
    {"Calculator", -1, "", nullptr, nullptr, "DEMO", "KEY.PLAY"},               // no entry name can hold it
    {"Calculator", -1, "", nullptr, nullptr, "DEMO", ""},                       //
    {"Calculator", -1, "default play", nullptr, nullptr, "DE MO", "KEY_PLAY"},  // the remote's form skipped
};

static std::string Expected(const LookupCase& c, bool programs, bool extra) {
  if (extra && c.withNew) return c.withNew;
  return programs && c.withProgram ? c.withProgram : c.line;
}

TEST(ProfileLookup, FindsTheLineForTitleProgramAndKey) {
  TempDir dir;
  for (int variant = 0; variant < 4; variant++) {
    bool programs = variant & 1, extra = variant & 2;
    std::string path = dir.Write("profiles.ini", Profile(programs, extra));
    for (const LookupCase& c : kLookupCases) {
      std::string expected = Expected(c, programs, extra);
      char out[kProfileValueSize];
      memset(out, 'x', sizeof out);
      int result = expected == kNotRun ? -1 : expected.empty() ? 0 : 1;
      int got =
          c.name ? ProfileLookupNamed(path.c_str(), c.title, kClass, kProgram, c.remote, c.name, out, nullptr)
                 : ProfileLookupServed(path.c_str(), c.title, kClass, kProgram, c.code, out, nullptr);
      EXPECT_EQ(got, result) << c.title << " " << c.code << (c.name ? c.name : "") << " programs " << programs
                             << " extra " << extra;
      EXPECT_EQ(std::string(out), result == -1 ? "" : expected) << c.title << " " << c.code;
      if (!extra && !c.name) {
        EXPECT_EQ(ProfileLookup(path.c_str(), c.title, kProgram, c.code, out), result) << c.title;
      }
    }
  }
}

// The section that served, as the lookup named it.
TEST(ProfileLookup, NamesTheSectionThatServed) {
  TempDir dir;
  std::string path = dir.Write("profiles.ini", Profile(true, true));
  const struct {
    const char* title;
    int code;
    const char* served;
  } cases[] = {
      {"Doc - A", 1, "Doc - A"},
      {"Untitled - Notepad", 1, "Editor"},
      {"Holiday - YouTube - Browser", 1, "*youtube*"},
      {"Calculator", 4, "class:DispatchTestWindow"},
      {"Calculator", 1, kProgram},
      {"Calculator", 8, "default"},
      {"Calculator", 5, ""},
      {"Inbox - Mail - Browser", 8, ""},  // too long: nothing served
  };
  for (const auto& c : cases) {
    char out[kProfileValueSize], served[kTitleSize] = "stale";
    ProfileLookupServed(path.c_str(), c.title, kClass, kProgram, c.code, out, served);
    EXPECT_STREQ(served, c.served) << c.title << " " << c.code;
  }
}

TEST(ProfileLookup, ProgramNotKnownSkipsItsStep) {
  TempDir dir;
  std::string path = dir.Write("profiles.ini", Profile());
  for (const char* program : {"", static_cast<const char*>(nullptr), "other.exe"}) {
    char out[kProfileValueSize];
    EXPECT_EQ(ProfileLookup(path.c_str(), "Calculator", program, 1, out), 1);
    EXPECT_STREQ(out, "default one");
  }
}

TEST(ProfileLookup, MissingFileGivesNoLine) {
  TempDir dir;
  char out[kProfileValueSize] = "stale";
  EXPECT_EQ(ProfileLookup(dir.File("profiles.ini").c_str(), "Untitled - Notepad", kProgram, 1, out), 0);
  EXPECT_STREQ(out, "");
}

TEST(ProfileLookup, EditsCountAtTheNextLookup) {
  TempDir dir;
  std::string path = dir.Write("profiles.ini", "[default]\r\nKey1=before\r\n");
  char out[kProfileValueSize];
  ASSERT_EQ(ProfileLookup(path.c_str(), "x", nullptr, 1, out), 1);
  EXPECT_STREQ(out, "before");
  dir.Write("profiles.ini", "[default]\r\nKey1=after\r\n");
  ASSERT_EQ(ProfileLookup(path.c_str(), "x", nullptr, 1, out), 1);
  EXPECT_STREQ(out, "after");
}

// Writes `text` to the file at `path` and gives it the last-write time `written`.
static void WriteAt(const TempDir& dir, const std::string& name, const std::string& text, FILETIME written) {
  HANDLE file = CreateFileA(dir.Write(name, text).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
  CloseHandle(file);
}

// A second save of the same size within the file system's time step leaves size and times as
// they were: the edit still counts. (Times as FAT keeps them, whole even seconds, here the next.)
TEST(ProfileLookup, SameSizeEditWithinOneTimeStepCounts) {
  TempDir dir;
  std::string path = dir.File("profiles.ini");
  char out[kProfileValueSize];
  for (const char* value : {"two", "six", "ten"}) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t = {{now.dwLowDateTime, now.dwHighDateTime}};
    t.QuadPart += 20000000 - t.QuadPart % 20000000;
    now = {t.LowPart, t.HighPart};
    WriteAt(dir, "profiles.ini", "[default]\r\nKey1=one\r\n", now);
    ASSERT_EQ(ProfileLookup(path.c_str(), "x", nullptr, 1, out), 1);
    EXPECT_STREQ(out, "one");
    WriteAt(dir, "profiles.ini", std::string("[default]\r\nKey1=") + value + "\r\n", now);
    ASSERT_EQ(ProfileLookup(path.c_str(), "x", nullptr, 1, out), 1);
    EXPECT_STREQ(out, value);
  }
}

// The in-memory profile against the platform: every file below read both ways for every name
// below, through GetPrivateProfileStringA with room for any value (a value longer than the bound
// must then be reported as too long, never cut).
static const std::string kBig = std::string(kActionLineMax, 'b');
static const std::string kTricky[] = {
    "Key1=above\r\n[S]\r\nKey2=in s\r\n[]\r\nKey3=empty name\r\n",
    "  [ S ]  \r\n  Key1  =  spaced  \r\n[\tT\t]\r\n\tKey1\t=\tt\tb\t\r\n[S]\r\nKey1=second S\r\n",
    "[S]\r\nKey1=\"quoted\"\r\nKey2='single'\r\nKey3=\"open\r\nKey4=\"\"\r\nKey5=\"\r\nKey6=\" in \"\r\n"
    "Key7='mixed\"\r\nKey8=\"a\"b\"\r\n",
    "[S]\r\nKey1=first\r\n[s]\r\nKey1=second\r\nKey2=only second\r\n[S]\r\nKey1=a\r\nKey1=b\r\n",
    "[S]\r\nKey1\r\nKey1=after bare\r\nKEY2=up\r\nkey2=low\r\n=no name\r\nKey3=a=b\r\n",
    "[title -]\r\nUntitled -=Editor\r\n A - B - = Two \r\n;x -=Semi\r\n[Editor]\r\nKey1=e\r\n",
    "[S] ; text after\r\nKey1=a\r\n[T]x]\r\nKey1=b\r\n[U\r\nKey1=c\r\n[V]]\r\nKey1=d\r\n",
    "[S]\nKey1=lf\nKey2=last",
    "[S]\rKey1=cr\rKey2=two\r",
    "[S]\r\nKey1=mixed\rKey2=x\r\nKey3=y\n\r\n",
    "[S]\nKey1=lf first\nKey2=z\r\n",
    "[S]\r\nKey1=\r\nKey2=   \r\nKey3=\x1a v \x1a\r\nKey4=\v\fz\r\n;Key5=c\r\nKey5=real\r\n",
    "[Caf\xE9]\r\nKey1=e acute\r\n[\xC9T\xC9]\r\nKey1=upper\r\n[S]\r\nKey1=\xA0nbsp\xA0\r\nKey2=x\x85\r\n",
    "\xEF\xBB\xBF[S]\r\nKey1=bom caf\xC3\xA9\r\n[Caf\xC3\xA9]\r\nKey1=utf-8 section\r\n",
    std::string("\xFF\xFE[\0S\0]\0\r\0\n\0K\0e\0y\0001\0=\0w\0\xE9\0", 26),
    std::string("[S]\r\nKey1=a\0b\r\nKe\0y2=c\r\n", 23),
    "[S]\r\nKey1=" + kBig + "\r\nKey2=" + kBig + "c\r\nKey3=\"" + kBig + "\"\r\nKey4=\"" + kBig + "e\"\r\n",
};
static const char* const kTrickyNames[][2] = {
    {"S", "Key1"},
    {"S", "Key2"},
    {"S", "Key3"},
    {"S", "Key4"},
    {"S", "Key5"},
    {"S", "Key6"},
    {"S", "Key7"},
    {"S", "Key8"},
    {"s", "KEY1"},
    {" S ", " Key1 "},
    {"", "Key1"},
    {" ", "Key3"},
    {"T", "Key1"},
    {"U", "Key1"},
    {"V]", "Key1"},
    {"T]x", "Key1"},
    {"title -", "Untitled -"},
    {"title -", "a - b -"},
    {"title -", ";x -"},
    {"S", ""},
    {"S", "Ke"},
    {"café", "Key1"},
    {"CAF\xC9", "Key1"},
    {"\xE9t\xE9", "Key1"},
    {"editor", "key1"},
};

TEST(ProfileLookup, ReadsTheFileAsThePlatformDoes) {
  TempDir dir;
  std::vector<char> platform(1 << 16);
  char ours[kProfileValueSize];
  int file = 0;
  for (const std::string& text : kTricky) {
    // A new name for each: the platform keeps recently read files by name and write time.
    std::string path = dir.Write("tricky" + std::to_string(file++) + ".ini", text);
    for (const auto& name : kTrickyNames) {
      DWORD length = GetPrivateProfileStringA(name[0], name[1], "", platform.data(), DWORD(platform.size()),
                                              path.c_str());
      int expected = length == 0 ? 0 : length > kActionLineMax ? -1 : 1;
      // A value cut at a NUL byte is not what its writer meant: never run ("Key1=a<NUL>b").
      if (text.find('\0') != std::string::npos && std::string(platform.data()) == "a") expected = -1;
      ASSERT_EQ(ProfileRefresh(path.c_str()), 0);
      EXPECT_EQ(ProfileGet(name[0], name[1], ours, kActionLineMax), expected)
          << "file " << file - 1 << " [" << name[0] << "] " << name[1] << " platform: " << platform.data();
      EXPECT_EQ(std::string(ours), expected == 1 ? platform.data() : "")
          << "file " << file - 1 << " [" << name[0] << "] " << name[1];
    }
  }
}

// The numbers of [default] (port=, notify=) as the platform's GetPrivateProfileIntA reads them, with
// the fallback for an entry that is missing or empty.
TEST(ProfileReadInt, ReadsNumbersAsThePlatformDoes) {
  TempDir dir;
  std::string path = dir.Write("numbers.ini",
                               "[default]\r\nplain=3\r\nspaced=  7  \r\nword=x\r\nempty=\r\ntail=12abc\r\n"
                               "quoted=\"4\"\r\nsigned=+5\r\nzero=0\r\n");
  for (const char* key :
       {"plain", "spaced", "word", "empty", "tail", "quoted", "signed", "zero", "missing"}) {
    for (int fallback : {-1, 9}) {
      EXPECT_EQ(ProfileReadInt(path.c_str(), "default", key, fallback),
                int(GetPrivateProfileIntA("default", key, fallback, path.c_str())))
          << key << " fallback " << fallback;
    }
  }
}

// Each thread reads through a copy of its own: another thread's profile leaves this one's as it was.
TEST(ProfileReadInt, EachThreadHasItsOwnCopy) {
  TempDir dir;
  static std::string other;
  std::string mine = dir.Write("mine.ini", "[S]\r\nKey1=mine\r\n");
  other = dir.Write("other.ini", "[S]\r\nKey1=other\r\n");
  ASSERT_EQ(ProfileRefresh(mine.c_str()), 0);
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID) -> DWORD {
        char value[16];
        DWORD got = ProfileReadString(other.c_str(), "S", "Key1", value, sizeof value - 1) == 1 &&
                    strcmp(value, "other") == 0;
        ProfileCopyFree();
        return got;
      },
      nullptr, 0, nullptr);
  ASSERT_TRUE(thread);
  WaitForSingleObject(thread, INFINITE);
  DWORD got = 0;
  GetExitCodeThread(thread, &got);
  CloseHandle(thread);
  EXPECT_EQ(got, 1u);
  char value[16];
  EXPECT_EQ(ProfileGet("S", "Key1", value, sizeof value - 1), 1);
  EXPECT_STREQ(value, "mine");
}

// ---- The profile in use ----

static bool gTestElevated;
static bool TestElevated() {
  return gTestElevated;
}

TEST(ProfileInUse, ChosenByRightsAndWhatIsThere) {
  struct Case {
    bool elevated, ownExists, sharedRefused;
    int chosen;
  } cases[] = {
      {false, false, false, kProfileShared},  // a portable or just-for-me install: beside the program
      {false, false, true, kProfileOwn},      // the first save refused: the own profile is made
      {false, true, false, kProfileOwn},      // made before: the own profile, whole
      {false, true, true, kProfileOwn},
      {true, false, false, kProfileShared},  // elevated: only ever the program folder's
      {true, false, true, kProfileShared},
      {true, true, false, kProfileShared},
      {true, true, true, kProfileShared},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ProfileChoose(c.elevated, c.ownExists, c.sharedRefused), c.chosen)
        << c.elevated << c.ownExists << c.sharedRefused;

  // At start-up, for real: %APPDATA% a folder of the test's, the own profile there or not.
  TempDir dir;
  std::string shared = dir.Write("profiles.ini", "[default]\r\nKey1=shared\r\n");
  CreateDirectoryA(dir.File("Halvesta Remote").c_str(), nullptr);
  std::string own = dir.File("Halvesta Remote\\profiles.ini");
  char appData[MAX_PATH] = "";
  GetEnvironmentVariableA("APPDATA", appData, sizeof appData);
  SetEnvironmentVariableA("APPDATA", dir.path().c_str());
  bool (*realElevated)() = gProfileElevated;
  gProfileElevated = TestElevated;
  for (const Case& c : cases) {
    if (c.sharedRefused) continue;
    DeleteFileA(own.c_str());
    if (c.ownExists) dir.Write("Halvesta Remote\\profiles.ini", "[default]\r\nKey1=own\r\n");
    gTestElevated = c.elevated;
    ProfileUseFor(shared.c_str());
    EXPECT_EQ(ProfileInUse(), c.chosen) << c.elevated << c.ownExists;
    EXPECT_EQ(std::string(gProfilePath), c.chosen == kProfileOwn ? own : shared);
    // A save goes to the profile in use; the other stays as it was.
    std::string before = ReadAll(c.chosen == kProfileOwn ? shared : own);
    const ProfileSetting entry = {"Key2", "saved"};
    unsigned long error = 0;
    ASSERT_EQ(ProfileSaveEntries("default", &entry, 1, &error), 0) << error;
    EXPECT_NE(ReadAll(gProfilePath).find("Key2=saved"), std::string::npos);
    EXPECT_EQ(ReadAll(c.chosen == kProfileOwn ? shared : own), before);
    dir.Write("profiles.ini", "[default]\r\nKey1=shared\r\n");
  }
  // While the main thread switches the profile in use, the dispatch thread's copy of its path is
  // always one whole path, never a mix of the two.
  dir.Write("Halvesta Remote\\profiles.ini", "[default]\r\nKey1=own\r\n");
  std::atomic<bool> stop(false);
  std::atomic<int> copies(0), torn(0);
  std::thread reader([&] {
    char path[MAX_PATH];
    while (!stop) {
      ProfilePathCopy(path, sizeof path);
      if (path != own && path != shared) torn++;
      copies++;
    }
  });
  for (int i = 0; i < 3000 || copies < 1000; i++) {
    gTestElevated = i % 2 != 0;
    ProfileUseFor(shared.c_str());
  }
  stop = true;
  reader.join();
  EXPECT_EQ(torn, 0);
  gProfileElevated = realElevated;
  SetEnvironmentVariableA("APPDATA", appData);
  snprintf(gProfilePath, sizeof gProfilePath, "profiles.ini");
}

// ---- Writes in the file's own encoding ----

// UTF-16 text from 8-bit text (each byte one character), with or without a byte order mark.
static std::string Utf16(const std::string& text, bool big, bool mark = true) {
  std::string out = mark ? (big ? "\xFE\xFF" : "\xFF\xFE") : "";
  for (char c : text) out += big ? std::string(1, '\0') + c : std::string(1, c) + '\0';
  return out;
}

struct WriteCase {
  const char* name;
  std::string before;  // "(missing)": no file
  const char* section;
  const char* key;
  const char* value;   // null: removed
  std::string after;   // the file afterwards, byte for byte
  bool platformReads;  // GetPrivateProfileStringA reads the value back too (not UTF-8 without a mark)
};

TEST(ProfileWrite, WritesOneLineInTheFilesOwnEncoding) {
  const std::string kCafeUtf8 = "Caf\xC3\xA9";
  const WriteCase cases[] = {
      {"replaced; comments, blank lines and order kept",
       "; mine\r\n[default]\r\nport=2\r\n\r\nKey1=x\r\n[Other]\r\nport=9", "default", "port", "3",
       "; mine\r\n[default]\r\nport=3\r\n\r\nKey1=x\r\n[Other]\r\nport=9", true},
      {"added after the section's last entry", "[default]\r\nKey1=x\r\n\r\n[Other]\r\n", "DEFAULT", "port",
       "3", "[default]\r\nKey1=x\r\nport=3\r\n\r\n[Other]\r\n", true},
      {"section added; a last line without its end", "[Other]\r\nKey1=y", "default", "port", "3",
       "[Other]\r\nKey1=y\r\n\r\n[default]\r\nport=3\r\n", true},
      {"section added after a closing comment and a blank line", "[S]\r\nK=1\r\n; end of S\r\n\r\n", "T", "K",
       "2", "[S]\r\nK=1\r\n; end of S\r\n\r\n[T]\r\nK=2\r\n", true},
      {"missing file made", "(missing)", "default", "port", "0", "[default]\r\nport=0\r\n", true},
      {"line feeds kept; names in any case and blanks", "[ Default ]\n  PORT = 1 \nKey1=a\n", "default",
       "port", "4", "[ Default ]\nport=4\nKey1=a\n", true},
      {"the first section of the name and the first entry of the key", "[S]\r\nK=1\r\nK=2\r\n[S]\r\nK=3\r\n",
       "s", "k", "9", "[S]\r\nk=9\r\nK=2\r\n[S]\r\nK=3\r\n", true},
      {"removed", "[S]\r\nA=1\r\nK=2\r\nB=3\r\n", "S", "K", nullptr, "[S]\r\nA=1\r\nB=3\r\n", true},
      {"ANSI stays ANSI", "[default]\r\n", "Caf\xE9 - Player", "Key1", "\xE9",
       "[default]\r\n\r\n[Caf\xE9 - Player]\r\nKey1=\xE9\r\n", true},
      {"UTF-8 without a mark stays UTF-8", "[" + kCafeUtf8 + "]\r\nKey1=a\r\n", "Caf\xE9", "Key2", "\xE9",
       "[" + kCafeUtf8 + "]\r\nKey1=a\r\nKey2=\xC3\xA9\r\n", false},
      {"UTF-8 with a mark", "\xEF\xBB\xBF[S]\r\nKey1=" + kCafeUtf8 + "\r\n", "Caf\xE9 - Player", "Key2",
       "\xE9",
       "\xEF\xBB\xBF[S]\r\nKey1=" + kCafeUtf8 + "\r\n\r\n[" + kCafeUtf8 + " - Player]\r\nKey2=\xC3\xA9\r\n",
       true},
      {"UTF-16 little endian, last line without its end", Utf16("[S]\r\nK=\xE9", false), "S", "Key2", "\xE9",
       Utf16("[S]\r\nK=\xE9\r\nKey2=\xE9\r\n", false), true},
      {"UTF-16 big endian", Utf16("[S]\r\nK=a\r\n", true), "S", "K", "\xE9", Utf16("[S]\r\nK=\xE9\r\n", true),
       true},
  };
  TempDir dir;
  int n = 0;
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir.File("write" + std::to_string(n++) + ".ini");
    if (c.before != "(missing)") dir.Write("write" + std::to_string(n - 1) + ".ini", c.before);
    unsigned long error = 99;
    ASSERT_EQ(ProfileWriteString(path.c_str(), c.section, c.key, c.value, &error), 0) << error;
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(ReadAll(path), c.after);
    // The text before stays as the backup (none for a file that was not there); nothing else is left.
    EXPECT_EQ(ReadAll(path + ".bak"), c.before);
    EXPECT_EQ(ReadAll(path + ".new"), "(missing)");
    // Read back as it was given, by the program and (where it can) by the platform.
    char ours[kProfileValueSize];
    ASSERT_EQ(ProfileRefresh(path.c_str()), 0);
    EXPECT_EQ(ProfileGet(c.section, c.key, ours, kActionLineMax), c.value ? 1 : 0);
    EXPECT_STREQ(ours, c.value ? c.value : "");
    char platform[256];
    GetPrivateProfileStringA(c.section, c.key, "", platform, sizeof platform, path.c_str());
    if (c.platformReads) {
      EXPECT_STREQ(platform, c.value ? c.value : "");
    }
  }
}

// Several entries in one save: each goes into the text the one before left, the section is made
// once, the backup is the text before all of them; one bad entry refuses the whole save.
TEST(ProfileWrite, SeveralEntriesLandTogetherOrNotAtAll) {
  const struct {
    const char* name;
    std::string before;
    std::vector<ProfileSetting> entries;
    int result;
    std::string after;
  } cases[] = {
      {"a line replaced and its .hold added, in UTF-16",
       Utf16("[S]\r\nKey9=CLOSE\r\n[T]\r\n", false),
       {{"Key9", "KEYBOARD A"}, {"Key9.hold", "repeat"}},
       0,
       Utf16("[S]\r\nKey9=KEYBOARD A\r\nKey9.hold=repeat\r\n[T]\r\n", false)},
      {"the section made once",
       "[T]\r\n",
       {{"port", "2"}, {"notify", "0"}},
       0,
       "[T]\r\n\r\n[S]\r\nport=2\r\nnotify=0\r\n"},
      {"a later entry sees an earlier one",
       "[S]\r\n",
       {{"K", "1"}, {"K", "2"}, {"J", nullptr}},
       0,
       "[S]\r\nK=2\r\n"},
      {"a bad second entry: nothing written",
       "[S]\r\nK=1\r\n",
       {{"K", "2"}, {"J=", "3"}},
       kProfileWriteBadEntry,
       "[S]\r\nK=1\r\n"},
      {"no entries", "[S]\r\nK=1\r\n", {}, kProfileWriteBadEntry, "[S]\r\nK=1\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::string path = dir.Write("profiles.ini", c.before);
    unsigned long error = 99;
    EXPECT_EQ(ProfileWriteEntries(path.c_str(), "S", c.entries.data(), c.entries.size(), &error), c.result);
    EXPECT_EQ(ReadAll(path), c.after);
    EXPECT_EQ(ReadAll(path + ".bak"), c.result == 0 ? c.before : "(missing)");
  }
}

// A file the program cannot read as text is never touched: the write is refused with the reason.
TEST(ProfileWrite, RefusesFilesItCannotReadAndEntriesOfMoreThanOneLine) {
  struct Refused {
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    int result;
  } cases[] = {
      {Utf16("[default]\r\nport=2\r\nKey1=KEYBOARD A\r\n", false, false), "default", "port", "3",
       kProfileWriteUtf16NoBom},
      {Utf16("[default]\r\nport=2\r\n", true, false), "default", "port", "3", kProfileWriteUtf16NoBom},
      {std::string("[default]\r\nKey1=KEYBOARD A+") + '\0' + "^A\r\n", "default", "port", "3",
       kProfileWriteNulBytes},
      {"[default]\r\n", "default", "port", "3\r\nKey1=KEYBOARD A", kProfileWriteBadEntry},
      {"[default]\r\n", "de]fault", "port", "3", kProfileWriteBadEntry},
      {"[default]\r\n", "default", "po=rt", "3", kProfileWriteBadEntry},
  };
  TempDir dir;
  for (const Refused& c : cases) {
    std::string path = dir.Write("refused.ini", c.before);
    unsigned long error = 99;
    EXPECT_EQ(ProfileWriteString(path.c_str(), c.section, c.key, c.value, &error), c.result);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(ReadAll(path), c.before);
    EXPECT_EQ(ReadAll(path + ".bak"), "(missing)");
  }
  // A folder where the file should be: the system's reason.
  std::string folder = dir.File("folder.ini");
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  unsigned long error = 0;
  EXPECT_EQ(ProfileWriteString(folder.c_str(), "default", "port", "1", &error), kProfileWriteRead);
  EXPECT_EQ(error, unsigned(ERROR_ACCESS_DENIED));
  RemoveDirectoryA(folder.c_str());
}

static BOOL WINAPI FailingFlush(HANDLE) {
  SetLastError(ERROR_DISK_FULL);
  return FALSE;
}

// Each point where a save can fail, made to fail for real (the flush through its stand-in): the
// profile and its backup stay byte for byte, nothing is left beside them, and the user's text
// names what failed and the system's reason.
TEST(ProfileWrite, EachFailureLeavesTheProfileAsItWas) {
  const std::string before = "[default]\r\nport=2\r\n", backup = "[default]\r\nport=1\r\n";
  struct Case {
    const char* name;
    std::function<HANDLE(const std::string& path)> arrange;  // a handle it holds open, or null
    int result;
    unsigned long error;
    const char* told;  // in the text the user reads ("|" between parts)
    DWORD minimumMs;   // how long the save kept trying
  } cases[] = {
      {"the new file cannot be made (a folder has its name)",
       [](const std::string& p) { return CreateDirectoryA((p + ".new").c_str(), nullptr), HANDLE(nullptr); },
       kProfileWriteCreate, ERROR_ACCESS_DENIED, "profiles.ini.new|could not be made beside it", 0},
      {"the flush fails", [](const std::string&) { return gProfileFlush = FailingFlush, HANDLE(nullptr); },
       kProfileWriteWrite, ERROR_DISK_FULL, "profiles.ini.new|(error 112). The file is as it was.", 0},
      {"the backup cannot be made (a folder has its name)",
       [](const std::string& p) {
         MoveFileA((p + ".bak").c_str(), (p + ".bak.kept").c_str());
         return CreateDirectoryA((p + ".bak").c_str(), nullptr), HANDLE(nullptr);
       },
       kProfileWriteBackup, ERROR_ACCESS_DENIED, "profiles.ini.bak|could not be copied to its backup", 0},
      {"the replacement is refused: another program holds the profile, sharing reading and writing only",
       [](const std::string& p) {
         return CreateFileA(p.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
       },
       kProfileWriteReplace, ERROR_ACCESS_DENIED, "profiles.ini.new|could not take the file's place", 900},
      {"another program holds it open without sharing",
       [](const std::string& p) {
         return CreateFileA(p.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
       },
       kProfileWriteInUse, ERROR_SHARING_VIOLATION, "Another program has the file open", 900},
      {"the profile is read-only",
       [](const std::string& p) {
         return SetFileAttributesA(p.c_str(), FILE_ATTRIBUTE_READONLY), HANDLE(nullptr);
       },
       kProfileWriteReadOnly, 0, "read-only", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::string path = dir.Write("profiles.ini", before);
    dir.Write("profiles.ini.bak", backup);
    HANDLE held = c.arrange(path);
    DWORD start = GetTickCount();
    unsigned long error = 0;
    int result = ProfileWriteString(path.c_str(), "default", "port", "3", &error);
    DWORD took = GetTickCount() - start;
    gProfileFlush = FlushFileBuffers;
    if (held) CloseHandle(held);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(error, c.error);
    EXPECT_GE(took, c.minimumMs);
    EXPECT_LT(took, 3000u);
    EXPECT_EQ(ReadAll(path), before);
    // The backup is the earlier one, or (the replacement failed) the profile's own text.
    if (GetFileAttributesA((path + ".bak.kept").c_str()) == INVALID_FILE_ATTRIBUTES) {
      EXPECT_EQ(ReadAll(path + ".bak"), c.result == kProfileWriteReplace ? before : backup);
    }
    DWORD fresh = GetFileAttributesA((path + ".new").c_str());
    EXPECT_TRUE(fresh == INVALID_FILE_ATTRIBUTES || (fresh & FILE_ATTRIBUTE_DIRECTORY)) << "a new file left";
    char why[1024];
    SaveReasonText(why, sizeof why, result, error, path.c_str());
    std::string told = c.told;
    for (size_t from = 0, bar; from != std::string::npos; from = bar == std::string::npos ? bar : bar + 1) {
      bar = told.find('|', from);
      EXPECT_NE(std::string(why).find(told.substr(from, bar - from)), std::string::npos) << why;
    }
    RemoveDirectoryA((path + ".new").c_str());
    RemoveDirectoryA((path + ".bak").c_str());
    DeleteFileA((path + ".bak.kept").c_str());
  }
}

static DWORD WINAPI LetGoLater(void* handle) {
  Sleep(300);
  CloseHandle(handle);
  return 0;
}

// A program that lets go of the profile within the second: the save goes through.
TEST(ProfileWrite, AProfileHeldForAMomentIsSavedWhenLetGo) {
  TempDir dir;
  std::string path = dir.Write("profiles.ini", "[default]\r\nport=2\r\n");
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  HANDLE letGo = CreateThread(nullptr, 0, LetGoLater, held, 0, nullptr);
  unsigned long error = 0;
  EXPECT_EQ(ProfileWriteString(path.c_str(), "default", "port", "3", &error), 0);
  WaitForSingleObject(letGo, 5000);
  CloseHandle(letGo);
  EXPECT_EQ(ReadAll(path), "[default]\r\nport=3\r\n");
}

// One generation of backup; a left-over new file of a save cut off is not read and is replaced; the
// profile's hidden attribute is kept; a hard-linked profile is written in place, so that every name
// of it shows the new text.
TEST(ProfileWrite, BackupLeftOversAndLinks) {
  TempDir dir;
  std::string path = dir.Write("profiles.ini", "[default]\r\nport=1\r\n");
  std::string left = dir.Write("profiles.ini.new", "[default]\r\nport=9\r\nleft over");
  SetFileAttributesA(left.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  char value[16];
  ASSERT_EQ(ProfileRefresh(path.c_str()), 0);
  EXPECT_EQ(ProfileGet("default", "port", value, sizeof value - 1), 1);
  EXPECT_STREQ(value, "1");
  unsigned long error = 0;
  ASSERT_EQ(ProfileWriteString(path.c_str(), "default", "port", "2", &error), 0) << error;
  ASSERT_EQ(ProfileWriteString(path.c_str(), "default", "port", "3", &error), 0) << error;
  EXPECT_EQ(ReadAll(path), "[default]\r\nport=3\r\n");
  EXPECT_EQ(ReadAll(path + ".bak"), "[default]\r\nport=2\r\n");
  EXPECT_EQ(ReadAll(left), "(missing)");
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_EQ(ProfileWriteString(path.c_str(), "default", "port", "3", &error), 0) << error;
  EXPECT_EQ(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN, DWORD(FILE_ATTRIBUTE_HIDDEN));
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);

  std::string other = dir.File("linked.ini");
  ASSERT_TRUE(CreateHardLinkA(other.c_str(), path.c_str(), nullptr));
  DeleteFileA((path + ".bak").c_str());
  ASSERT_EQ(ProfileWriteString(path.c_str(), "default", "port", "4", &error), 0) << error;
  EXPECT_EQ(ReadAll(path), "[default]\r\nport=4\r\n");
  EXPECT_EQ(ReadAll(other), ReadAll(path));
  EXPECT_EQ(ReadAll(path + ".bak"), "(missing)");
}

// A process that saves in a loop, killed at random moments: the profile is always the old text or
// the new one. The child is this test program, run with REMOTE_SAVE_LOOP naming the profile.
TEST(ProfileWrite, ChildSavesInALoop) {
  char path[MAX_PATH];
  if (!GetEnvironmentVariableA("REMOTE_SAVE_LOOP", path, sizeof path))
    GTEST_SKIP() << "run by the crash test";
  unsigned long error;
  // The first save changes the file, whichever text it has.
  for (int i = ReadAll(path).find("port=2") != std::string::npos;; i++)
    ProfileWriteString(path, "default", "port", i % 2 ? "1" : "2", &error);
}

TEST(ProfileWrite, AKilledSaveLeavesTheOldTextOrTheNew) {
  TempDir dir;
  // Large enough that a kill often lands while the text is being written.
  std::string body;
  for (int i = 0; i < 4000; i++)
    body += "Key" + std::to_string(i % 128) + "=KEYBOARD A+^A ; line " + std::to_string(i) + "\r\n";
  const std::string one = "[default]\r\nport=1\r\n" + body, two = "[default]\r\nport=2\r\n" + body;
  std::string path = dir.Write("profiles.ini", one);
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string command = std::string("\"") + program + "\" --gtest_filter=ProfileWrite.ChildSavesInALoop";
  SetEnvironmentVariableA("REMOTE_SAVE_LOOP", path.c_str());
  srand(GetTickCount());
  // A slow machine starts the child slowly: the count of kills is capped, the time only bounds it.
  int kills = 0;
  DWORD start = GetTickCount();
  while (kills < 12 && GetTickCount() - start < 60000) {
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child;
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                               nullptr, &startup, &child));
    // The child's first save changes the file; then it is killed at a random moment.
    std::string first = ReadAll(path);
    for (int i = 0; i < 400 && ReadAll(path) == first; i++) Sleep(5);
    Sleep(DWORD(rand() % 40));
    TerminateProcess(child.hProcess, 1);
    WaitForSingleObject(child.hProcess, 5000);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    kills++;
    std::string now = ReadAll(path);
    ASSERT_TRUE(now == one || now == two) << "after kill " << kills << ": " << now.size() << " bytes";
  }
  SetEnvironmentVariableA("REMOTE_SAVE_LOOP", nullptr);
  printf("%d kills, the profile whole after each\n", kills);
  EXPECT_GE(kills, 3);
}

// ---- The dispatch thread with real windows, threads and events ----

struct HandlerCall {
  HWND window;
  std::string line;
  BYTE enable;
};

static CRITICAL_SECTION callsLock;
static std::vector<HandlerCall> calls;

static HANDLE handled;  // set after each recorded call

static int RecordingHandler(HWND window, const char* line, BYTE enable, ActionReport*) {
  EnterCriticalSection(&callsLock);
  calls.push_back({window, line, enable});
  LeaveCriticalSection(&callsLock);
  SetEvent(handled);
  return 0;
}

static std::vector<HandlerCall> Calls() {
  EnterCriticalSection(&callsLock);
  std::vector<HandlerCall> copy = calls;
  LeaveCriticalSection(&callsLock);
  return copy;
}

static std::string windowMessages;

static LRESULT CALLBACK FrontWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    windowMessages += "C" + std::to_string(wParam);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class Dispatch : public ::testing::Test {
 protected:
  // One window in front for the whole suite: bringing a window up takes Wine a while.
  static void SetUpTestSuite() {
    InitializeCriticalSection(&callsLock);
    handled = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FrontWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "DispatchTestWindow";
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200, nullptr,
                              nullptr, wc.hInstance, nullptr);
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
  }
  static void TearDownTestSuite() { DestroyWindow(window_); }

  void SetUp() override {
    profile_ = dir_.Write("profiles.ini", Profile(false));
    snprintf(gProfilePath, sizeof gProfilePath, "%s", profile_.c_str());
    calls.clear();
    ResetEvent(handled);
    QueueClear();
    gActionHandler = RecordingHandler;
    context_.keyReady = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    context_.quit = CreateEventA(nullptr, TRUE, FALSE, nullptr);

    SetWindowTextA(window_, "");
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == window_; }, 5000)) << "window not in front";
  }

  void TearDown() override {
    StopThread();
    CloseHandle(context_.keyReady);
    CloseHandle(context_.quit);
    gActionHandler = RunActionLineReport;
    gKeystrokeBackEnd = nullptr;
    ActionSetCancelEvent(nullptr);
    snprintf(gProfilePath, sizeof gProfilePath, "profiles.ini");
  }

  void StartThread() { thread_ = CreateThread(nullptr, 0, DispatchThread, &context_, 0, nullptr); }

  // Signals quit and waits for the thread; true when it ended.
  bool StopThread() {
    if (!thread_) return true;
    SetEvent(context_.quit);
    bool ended = PumpUntil([&] { return WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0; }, 10000);
    CloseHandle(thread_);
    thread_ = nullptr;
    return ended;
  }

  bool WaitForCalls(size_t n) {
    return PumpUntil([&] { return Calls().size() >= n; }, 10000);
  }

  TempDir dir_;
  std::string profile_;
  DispatchContext context_ = {};
  HANDLE thread_ = nullptr;
  static HWND window_;
};
HWND Dispatch::window_;

TEST_F(Dispatch, LooksUpTheForegroundWindowsTitleAndProgramForEveryKey) {
  StartThread();
  for (int variant = 0; variant < 4; variant++) {
    bool programs = variant & 1, extra = variant & 2;
    dir_.Write("profiles.ini", Profile(programs, extra));
    for (const LookupCase& c : kLookupCases) {
      std::string expected = Expected(c, programs, extra);
      if (expected == kNotRun) expected.clear();
      SetWindowTextA(window_, c.title);
      calls.clear();
      // The sentinel key (in "default") shows that the case's own key was handled before it.
      KeyEvent e = {1, uint8_t(c.code)};
      if (c.name) {  // a button of the network receiver
        e.source = kKeyFromNetwork;
        snprintf(e.remote, sizeof e.remote, "%s", c.remote);
        snprintf(e.name, sizeof e.name, "%s", c.name);
      }
      QueuePut(e);
      QueuePut({1, 99});
      SetEvent(context_.keyReady);
      ASSERT_TRUE(PumpUntil([&] { return !Calls().empty() && Calls().back().line == "sentinel"; }, 10000))
          << c.title;
      std::vector<HandlerCall> got = Calls();
      ASSERT_EQ(got.size(), expected.empty() ? 1u : 2u)
          << c.title << " " << c.code << " programs " << programs;
      if (!expected.empty()) {
        EXPECT_EQ(got[0].line, expected) << c.title << " " << c.code;
      }
      for (const HandlerCall& call : got) {
        EXPECT_EQ(call.window, window_);  // COMMAND and CLOSE act on the window in front
        EXPECT_EQ(call.enable, 1);
      }
    }
  }
}

TEST_F(Dispatch, ProgramNameOfTheWindowInFront) {
  char name[MAX_PATH];
  ASSERT_EQ(ProfileProgramName(window_, name), 0);
  EXPECT_STREQ(CharLowerA(name), kProgram);
  EXPECT_EQ(ProfileProgramName(nullptr, name), -1);
  EXPECT_STREQ(name, "");
}

TEST_F(Dispatch, OneWakeUpDrainsEveryQueuedEvent) {
  SetWindowTextA(window_, "Calculator");
  const uint8_t codes[] = {1, 2, 7, 5, 2};  // 5 has no line: skipped
  for (uint8_t code : codes) QueuePut({1, code});
  SetEvent(context_.keyReady);  // set once, before the thread waits
  StartThread();
  ASSERT_TRUE(WaitForCalls(4));
  std::vector<HandlerCall> got = Calls();
  std::vector<std::string> lines;
  for (const HandlerCall& call : got) lines.push_back(call.line);
  EXPECT_EQ(lines, (std::vector<std::string>{"default one", "calc two", "default seven", "calc two"}));
  KeyEvent left;
  EXPECT_EQ(QueueTake(&left), 0);
}

TEST_F(Dispatch, EnableByteReachesTheHandler) {
  StartThread();
  QueuePut({0, 1});
  SetEvent(context_.keyReady);
  ASSERT_TRUE(WaitForCalls(1));
  EXPECT_EQ(Calls()[0].enable, 0);
}

TEST_F(Dispatch, QuitEndsTheIdleThread) {
  StartThread();
  EXPECT_TRUE(StopThread());
}

TEST_F(Dispatch, QuitWinsOverPendingKeys) {
  QueuePut({1, 1});
  SetEvent(context_.keyReady);
  SetEvent(context_.quit);
  StartThread();
  EXPECT_TRUE(StopThread());
  EXPECT_TRUE(Calls().empty());
}

// The window in front belongs to this process and its thread waits without handling messages, as
// the main thread does while it waits for the dispatch thread to end: its title is still read.
TEST_F(Dispatch, TitleOfOwnWindowWhoseThreadWaitsIsRead) {
  dir_.Write("profiles.ini", "[Own Front]\r\nKey9=own title\r\n");
  SetWindowTextA(window_, "Own Front");
  StartThread();
  QueuePut({1, 9});
  SetEvent(context_.keyReady);
  ASSERT_EQ(WaitForSingleObject(handled, 10000), WAIT_OBJECT_0);  // no messages handled meanwhile
  ASSERT_EQ(Calls().size(), 1u);
  EXPECT_EQ(Calls()[0].line, "own title");
}

// A long KEYBOARD line is running when the receiver stops: the thread ends without waiting for
// the line's remaining pauses, lets go of the keys it holds, and runs no further event.
static std::string sentGroups;
static HANDLE groupSent;
static LONG groupsSent;  // counts the groups, after each one's record is written
static UINT WINAPI RecordingBackEnd(UINT count, LPINPUT records, int) {
  for (UINT i = 0; i < count; i++) {
    sentGroups += records[i].ki.dwFlags ? '-' : '+';
    sentGroups += char(records[i].ki.wVk < 0x80 ? records[i].ki.wVk : '?');
  }
  sentGroups += ' ';
  InterlockedIncrement(&groupsSent);
  SetEvent(groupSent);
  return count;
}

TEST_F(Dispatch, QuitCutsARunningLineShort) {
  dir_.Write(
      "profiles.ini",
      "[default]\r\nKey10=KEYBOARD SHIFT+S                              A ^S+^SHIFT\r\nKey11=KEYBOARD B\r\n");
  gActionHandler = RunActionLineReport;
  gKeystrokeBackEnd = RecordingBackEnd;
  ActionSetCancelEvent(context_.quit);
  groupSent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  sentGroups.clear();
  StartThread();
  QueuePut({1, 10});
  QueuePut({1, 11});
  SetEvent(context_.keyReady);
  ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(groupSent, 0) == WAIT_OBJECT_0; }, 10000));
  EXPECT_TRUE(StopThread());
  EXPECT_EQ(sentGroups, "+\x10+S -S-\x10 ");
  CloseHandle(groupSent);
  groupSent = nullptr;
}

// The window in front is one of this process's own, whose thread may be waiting for the dispatch
// thread to end: COMMAND sends it nothing, and the next key acts as usual. (Other programs' windows
// get the command: tests/e2e/shell_e2e.sh.)
TEST_F(Dispatch, CommandForOwnWindowInFrontSendsNothing) {
  dir_.Write("profiles.ini", "[Front]\r\nKey9=COMMAND 4660\r\nKey10=KEYBOARD B\r\n");
  SetWindowTextA(window_, "Front");
  gActionHandler = RunActionLineReport;
  gKeystrokeBackEnd = RecordingBackEnd;
  groupSent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  sentGroups.clear();
  windowMessages.clear();
  StartThread();
  QueuePut({1, 9});
  QueuePut({1, 10});
  SetEvent(context_.keyReady);
  EXPECT_TRUE(PumpUntil([&] { return WaitForSingleObject(groupSent, 0) == WAIT_OBJECT_0; }, 10000));
  EXPECT_EQ(sentGroups, "+B ");
  EXPECT_EQ(windowMessages, "");
  CloseHandle(groupSent);
  groupSent = nullptr;
}

// A line longer than 255 characters runs whole, so the releases at its end are sent; a line
// longer than any that runs sends nothing at all (cut short it would leave keys held down).
TEST_F(Dispatch, LongLinesRunWholeOrNotAtAll) {
  std::string typing;
  for (int i = 0; i < 61; i++) typing += "A+^A";
  const std::string crossing = "KEYBOARD " + typing + " CTRL+T ^T+^CTRL";  // 270 characters
  std::string tooLong = "KEYBOARD ";
  while (tooLong.size() <= kActionLineMax) tooLong += "A+^A";
  tooLong += " CTRL+T ^T+^CTRL";
  dir_.Write("profiles.ini",
             "[default]\r\nKey20=" + crossing + "\r\nKey21=" + tooLong + "\r\nKey22=KEYBOARD B+^B\r\n");
  gActionHandler = RunActionLineReport;
  gKeystrokeBackEnd = RecordingBackEnd;
  groupSent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  sentGroups.clear();
  groupsSent = 0;
  StartThread();
  QueuePut({1, 20});
  QueuePut({1, 21});
  QueuePut({1, 22});
  SetEvent(context_.keyReady);
  std::string typed;
  for (int i = 0; i < 61; i++) typed += "+A-A";
  const std::string expected = typed + " +\x11+T -T-\x11 +B-B ";
  EXPECT_TRUE(PumpUntil([&] { return InterlockedCompareExchange(&groupsSent, 0, 0) >= 4; }, 10000));
  EXPECT_TRUE(StopThread());
  EXPECT_EQ(sentGroups, expected);
  CloseHandle(groupSent);
  groupSent = nullptr;
}

// A wait that fails (here a handle that is no handle) ends the thread instead of spinning.
TEST_F(Dispatch, FailingWaitEndsTheThread) {
  DispatchContext broken = {reinterpret_cast<HANDLE>(uintptr_t(0x7FFF0000)), context_.quit};
  HANDLE thread = CreateThread(nullptr, 0, DispatchThread, &broken, 0, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  CloseHandle(thread);
}

// ---- Store apps: the program inside the frame host's window ----

// A desktop of made-up windows: each window's process, each process's program, the frame's app.
static const struct FakeWindow {
  HWND window;
  DWORD process;
} kFakeWindows[] = {{HWND(1), 10}, {HWND(2), 20}, {HWND(3), 30}, {HWND(4), 20}};
static HWND fakeApp;  // what the child search finds in the frame

static DWORD FakeProcessOf(HWND window) {
  for (const FakeWindow& w : kFakeWindows) {
    if (w.window == window) return w.process;
  }
  return 0;
}

static int FakeImageName(DWORD process, char* out) {
  const char* name = process == 10   ? "notepad.exe"
                     : process == 20 ? "ApplicationFrameHost.exe"
                     : process == 30 ? "Calculator.exe"
                                     : nullptr;
  snprintf(out, MAX_PATH, "%s", name ? name : "");
  return name ? 0 : -1;
}

static HWND FakeAppWindow(HWND, DWORD) {
  return fakeApp;
}

TEST(ProfileProgramName, StoreAppsAreNamedByTheProgramInsideTheFrame) {
  const struct {
    HWND front, app;
    const char* program;
  } cases[] = {
      {HWND(1), nullptr, "notepad.exe"},               // a desktop program: no search
      {HWND(2), HWND(3), "Calculator.exe"},            // the app's content window
      {HWND(2), nullptr, "ApplicationFrameHost.exe"},  // no app window found
      {HWND(2), HWND(4), "ApplicationFrameHost.exe"},  // a child of the frame host's own
      {HWND(2), HWND(9), "ApplicationFrameHost.exe"},  // gone meanwhile
  };
  ProgramQueries real = gProgramQueries;
  gProgramQueries = {FakeProcessOf, FakeImageName, FakeAppWindow};
  for (const auto& c : cases) {
    fakeApp = c.app;
    char name[MAX_PATH];
    EXPECT_EQ(ProfileProgramName(c.front, name), 0);
    EXPECT_STREQ(name, c.program);
  }
  gProgramQueries = real;
}

// The search itself, on real windows: a child, at any depth, of another process than the frame's.
TEST(ProfileProgramName, AppWindowIsAChildOfAnotherProcess) {
  HWND frame = CreateWindowExA(0, "STATIC", "frame", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                               nullptr);
  HWND child =
      CreateWindowExA(0, "STATIC", "child", WS_CHILD, 0, 0, 50, 50, frame, nullptr, nullptr, nullptr);
  HWND inner =
      CreateWindowExA(0, "STATIC", "inner", WS_CHILD, 0, 0, 10, 10, child, nullptr, nullptr, nullptr);
  ASSERT_TRUE(frame && child && inner);
  EXPECT_EQ(ProfileAppWindow(frame, GetCurrentProcessId()), nullptr);  // all the frame's own
  EXPECT_EQ(ProfileAppWindow(frame, GetCurrentProcessId() + 4), child);
  EXPECT_EQ(ProfileAppWindow(child, GetCurrentProcessId() + 4), inner);

  // A window of another program put into the frame, as a Store app's content window sits in its
  // frame: found, and its program named (the frame taken for the frame host's).
  TempDir dir;
  std::string log = dir.File("sink.log");
  char line[512];
  snprintf(line, sizeof line, "\"%skeysink.exe\" \"Store App Content\" \"%s\" 60", ProgramFolder().c_str(),
           log.c_str());
  STARTUPINFOA start = {};
  start.cb = sizeof start;
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process));
  CloseHandle(process.hThread);
  HWND content = nullptr;
  PumpUntil([&] { return (content = FindWindowA("RemoteTestKeySink", "Store App Content")) != nullptr; },
            30000);
  ASSERT_NE(content, nullptr);
  SetParent(content, child);
  EXPECT_EQ(ProfileAppWindow(frame, GetCurrentProcessId()), content);
  ProgramQueries real = gProgramQueries;
  static ProgramQueries realQueries;
  realQueries = real;
  gProgramQueries.imageName = [](DWORD pid, char* out) {
    if (pid != GetCurrentProcessId()) return realQueries.imageName(pid, out);
    snprintf(out, MAX_PATH, "ApplicationFrameHost.exe");
    return 0;
  };
  char name[MAX_PATH];
  EXPECT_EQ(ProfileProgramName(frame, name), 0);
  EXPECT_STREQ(CharLowerA(name), "keysink.exe");
  gProgramQueries = real;
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hProcess);
  DestroyWindow(frame);
}

// Every press leaves a line in the activity log: the section that served or none, the action line,
// what it did; keys into a window whose process has a higher integrity level (through the seam:
// Wine has no levels) are still sent, and marked.
static long FakeLevel(DWORD pid) {
  return pid == 0 ? 0x2000 : 0x3000;  // this program medium, every other high
}
static long OwnLevel(DWORD) {
  return 0x2000;
}
struct LogCopy {
  std::vector<ActivityEvent> events;
};
static void CopyLog(ActivityRing* ring, void* context) {
  for (unsigned i = 0; i < ring->count; i++)
    static_cast<LogCopy*>(context)->events.push_back(*ActivityRingAt(ring, i));
}
static std::vector<ActivityEvent> LogNow() {
  LogCopy copy;
  ActivityLogRead(CopyLog, &copy);
  return copy.events;
}

TEST_F(Dispatch, EachPressIsRecorded) {
  dir_.Write("profiles.ini",
             "[Rec Front]\r\nKey9=KEYBOARD B+^B\r\n[default]\r\nKey10=EXEC C:\\no\\such\\program.exe\r\n");
  SetWindowTextA(window_, "Rec Front");
  gActionHandler = RunActionLineReport;
  gKeystrokeBackEnd = RecordingBackEnd;
  groupSent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  for (IntegrityLevelFn levels : {FakeLevel, OwnLevel}) {
    gIntegrityLevelOf = levels;
    IntegrityForget();
    ActivityLogClear();
    ResetEvent(context_.quit);
    StartThread();
    for (uint8_t code : {9, 10, 11}) QueuePut({1, code});
    SetEvent(context_.keyReady);
    ASSERT_TRUE(PumpUntil([&] { return LogNow().size() >= 3; }, 10000));
    EXPECT_TRUE(StopThread());
    std::vector<ActivityEvent> log = LogNow();
    ASSERT_EQ(log.size(), 3u);
    for (const ActivityEvent& e : log) {
      EXPECT_EQ(e.kind, kActivityPress);
      EXPECT_STREQ(e.title, "Rec Front");
      EXPECT_EQ(e.pid, GetCurrentProcessId());
    }
    EXPECT_EQ(log[0].code, 9);
    EXPECT_STREQ(log[0].section, "Rec Front");
    EXPECT_STREQ(log[0].line, "KEYBOARD B+^B");
    EXPECT_EQ(log[0].result, kActivityKeysSent);
    EXPECT_EQ(log[0].detail, 2);
    EXPECT_EQ(log[0].blocked, levels == FakeLevel ? 1 : 0);
    EXPECT_STREQ(log[1].section, "default");
    EXPECT_EQ(log[1].result, kActivityNotStarted);
    EXPECT_NE(log[1].detail, 0);
    EXPECT_STRNE(log[1].reason, "");  // the system's reason
    EXPECT_EQ(log[1].blocked, 0);     // only keystrokes are checked
    EXPECT_STREQ(log[2].section, "");
    EXPECT_EQ(log[2].result, kActivityNoEntry);
    EXPECT_STREQ(log[2].program, "");  // named later, on the main thread
  }
  gIntegrityLevelOf = IntegrityLevelOfProcess;
  IntegrityForget();
  CloseHandle(groupSent);
  groupSent = nullptr;
}

TEST(Integrity, OwnLevelReadsOrFailsCleanly) {
  long own = IntegrityLevelOfProcess(0);
  EXPECT_TRUE(own == -1 || (own >= 0 && own <= 0x4000)) << own;
  EXPECT_EQ(IntegrityLevelOfProcess(0xFFFFFFF0), -1);  // no such process
}

// A held button, as the reader stamps it: `signals` signals 110 ms apart, the last one `agoMs`
// before now. Whether an entry acts on every signal, once, or with its long line is decided from
// those times.
TEST_F(Dispatch, HeldButtonsActAsTheirEntriesSay) {
  const char* base =
      "[Front]\r\nKey35=KEYBOARD E\r\n"
      "[default]\r\nKey30=EXEC C:\\no\\such.exe\r\nKey31=KEYBOARD A\r\nKey32=KEYBOARD "
      "B\r\nKey32.HOLD=Once\r\n"
      "Key33=KEYBOARD C\r\nKey33.long=KEYBOARD D\r\nKey34=CLOSE\r\nKey34.hold=every\r\nKey35.hold=once\r\n"
      "Key36.long=KEYBOARD F\r\nKey.KEY_OK=KEYBOARD G\r\nKey.DEMO.KEY_OK.long=KEYBOARD H\r\n"
      "Key.KEY_UP=KEYBOARD I\r\nKey.KEY_UP.hold=once\r\nKey.KEY_DOWN=KEYBOARD "
      "J\r\nKey.key_down.hold=repeat\r\n";
  struct Case {
    const char* name;
    const char* extra;  // more lines of [default]
    int code;
    int signals;
    uint32_t agoMs;
    std::vector<std::string> lines;
    const char* rows = nullptr;    // its activity rows, "result/detail/sent line ..."; null: not looked at
    bool toldHeld = false;         // the watching window told it was held past the long-press time
    const char* button = nullptr;  // a button of the network receiver, remote DEMO, instead of the code
    const char* counts = nullptr;  // what the receiver says of each signal: b begin, r repeat, x release
  };
  const std::vector<std::string> fiveA(5, "KEYBOARD A"), fiveClose(5, "CLOSE"), fiveE(5, "KEYBOARD E");
  const Case cases[] = {
      {"EXEC acts once per press", "", 30, 5, 600, {"EXEC C:\\no\\such.exe"}},
      {"KEYBOARD acts on every signal", "", 31, 5, 600, fiveA},
      {"hold=once", "", 32, 5, 600, {"KEYBOARD B"}, "1/0/0 KEYBOARD B 12/4/1 KEYBOARD B"},
      {"let go before the long-press time: the short line", "", 33, 3, 600, {"KEYBOARD C"}},
      {"held past it: the long line",
       "",
       33,
       10,
       400,
       {"KEYBOARD D"},
       "1/0/0 KEYBOARD D 12/9/1 KEYBOARD D",
       true},
      {"a long line without a short one", "", 36, 10, 400, {"KEYBOARD F"}, nullptr, true},
      {"CLOSE with hold=every", "", 34, 5, 600, fiveClose},
      {".hold read from the section that served the line", "", 35, 5, 600, fiveE},
      {"hold= of [default] for entries without their own", "hold=once\r\n", 31, 5, 600, {"KEYBOARD A"}},
      {"... not over their own", "hold=once\r\n", 34, 5, 600, fiveClose},
      {"a longer long-press time", "longpress=1500\r\n", 33, 10, 600, {"KEYBOARD C"}},
      {"no entry, held: one row with its signals", "", 37, 10, 400, {}, "0/10/0 ", true},
      {"held past it with a short line alone", "", 31, 10, 400, std::vector<std::string>(10, "KEYBOARD A"),
       nullptr, true},
      // Named buttons: Key.REMOTE.NAME and Key.NAME with their .long and .hold; counted and released.
      {"named, held past the long-press time: its long line",
       "",
       0,
       10,
       400,
       {"KEYBOARD H"},
       "1/0/0 DEMO.KEY_OK KEYBOARD H 12/9/1 DEMO.KEY_OK KEYBOARD H",
       true,
       "KEY_OK"},
      {"named, let go before it: the short line", "", 0, 3, 600, {"KEYBOARD G"}, nullptr, false, "KEY_OK"},
      {"counted: two quick presses by the receiver's count",
       "",
       0,
       4,
       400,
       {"KEYBOARD I", "KEYBOARD I"},
       nullptr,
       false,
       "KEY_UP",
       "brbr"},
      {"a release ends a repeating press at once",
       "",
       0,
       9,
       100,
       {"KEYBOARD J"},
       nullptr,
       true,
       "KEY_DOWN",
       "brrrrrrrx"},
      // Upper case: told only (the window in front had the key), whatever the profile holds for it.
      {"told only: one row, its entry not run",
       "",
       0,
       2,
       600,
       {},
       "13/1/0 DEMO.KEY_OK ",
       false,
       "KEY_OK",
       "BX"},
  };
  // The watching window records what it is told, also while the waits below handle messages.
  static std::vector<WPARAM> told;  // wParam of each message, read through DispatchHeldButton below
  HWND watcher = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  SetWindowLongPtrA(watcher, GWLP_WNDPROC, LONG_PTR(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                      if (m == WM_APP + 77) told.push_back(wp);
                      return DefWindowProcA(w, m, wp, lp);
                    }));
  SetWindowTextA(window_, "Front");
  DispatchWatchHeld(watcher, WM_APP + 77);
  StartThread();
  DWORD lastSignal = timeGetTime();
  for (const Case& c : cases) {
    dir_.Write("profiles.ini", std::string(base) + c.extra);
    calls.clear();
    ActivityLogClear();
    // The case's first signal comes well after the last one before it: a press of its own.
    DWORD span = c.agoMs + 110 * (c.signals - 1);
    while (int32_t(timeGetTime() - span - lastSignal) < 400) Sleep(20);
    DWORD now = timeGetTime();
    for (int i = 0; i < c.signals; i++) {
      KeyEvent e = {1, uint8_t(c.code), now - c.agoMs - 110 * (c.signals - 1 - i)};
      if (c.button) {
        e.source = kKeyFromNetwork;
        snprintf(e.remote, sizeof e.remote, "DEMO");
        snprintf(e.name, sizeof e.name, "%s", c.button);
      }
      if (c.counts) {
        char count = char(c.counts[i] | 0x20);
        e.signal = count == 'b' ? kKeySignalBegin : count == 'r' ? kKeySignalRepeat : kKeySignalRelease;
        e.told = c.counts[i] != count;
      }
      QueuePut(e);
    }
    lastSignal = now - c.agoMs;
    SetEvent(context_.keyReady);
    ASSERT_TRUE(WaitForCalls(c.lines.size())) << c.name;
    Sleep(400);  // nothing more follows
    std::vector<std::string> lines;
    for (const HandlerCall& call : Calls()) lines.push_back(call.line);
    EXPECT_EQ(lines, c.lines) << c.name;
    MSG message;
    while (PeekMessageA(&message, watcher, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    std::string toldButtons;
    for (WPARAM which : told) {
      PressButton b;
      ASSERT_EQ(DispatchHeldButton(which, &b), 1) << c.name;
      toldButtons += b.name[0] ? std::string(b.remote) + "." + b.name : std::to_string(b.code);
    }
    std::string expected = c.button ? std::string("DEMO.") + c.button : std::to_string(c.code);
    EXPECT_EQ(toldButtons, c.toldHeld ? expected : "") << c.name;
    told.clear();
    if (!c.rows) continue;
    std::string rows;
    for (const ActivityEvent& e : LogNow())
      rows += " " + std::to_string(e.result) + "/" + std::to_string(e.detail) + "/" + std::to_string(e.sent) +
              (e.name[0] ? std::string(" ") + e.remote + "." + e.name : "") + " " + e.line;
    EXPECT_EQ(rows.substr(1), c.rows) << c.name;
  }
  DispatchWatchHeld(nullptr, 0);
  DestroyWindow(watcher);
}
