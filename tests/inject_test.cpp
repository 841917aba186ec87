#include "actions/inject.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include "actions/keyparse.h"

// Records for a notation text; spaces are skipped so that a whole text is one group.
static std::vector<INPUT> Records(const char* text) {
  std::vector<INPUT> records(strlen(text) + 1);
  INPUT* out = records.data();
  int token;
  while ((token = ParseKeyToken(&text, &out)) != kTokenEnd) {
  }
  records.resize(out - records.data());
  return records;
}

// The driver control seam: keeps every scan-code list it is handed.
static std::vector<std::vector<DWORD>> sentLists;
static DWORD sentCode;
static int RecordControl(DWORD controlCode, void* input) {
  const DWORD* list = static_cast<const DWORD*>(input);
  sentCode = controlCode;
  sentLists.push_back(std::vector<DWORD>(list, list + 1 + list[0]));
  return -1;  // the driver "rejects" every call; the back end must not care
}

static std::vector<DWORD> DriverList(const char* text) {
  sentLists.clear();
  gKeyDriverControl = RecordControl;
  std::vector<INPUT> records = Records(text);
  UINT count = UINT(records.size());
  EXPECT_EQ(DriverSendInput(count, records.data(), sizeof(INPUT)), count) << text;
  gKeyDriverControl = SendKeyDriverControl;
  EXPECT_EQ(sentLists.size(), 1u);
  EXPECT_EQ(sentCode, 1u);
  return sentLists.empty() ? std::vector<DWORD>() : sentLists[0];
}

struct DriverCase {
  const char* text;
  std::vector<DWORD> list;
};

TEST(KeyDriver, ScanCodeListsOnAUsLayout) {
  const DWORD pageDown = MapVirtualKeyA(VK_NEXT, 0);
  ASSERT_EQ(MapVirtualKeyA(VK_CONTROL, 0), 0x1Du) << "the tests expect a US keyboard layout";
  const DriverCase cases[] = {
      {"CTRL S ^S ^CTRL", {4, 0x1D, 0x1F, 0x9F, 0x9D}},
      {"UP ^UP", {4, 0xE0, 0x48, 0xE0, 0xC8}},  // each code its own prefix; bit 7 never on 0xE0
      {"PGUP", {2, 0xE0, pageDown}},            // "PGUP" is VK_NEXT, an extended key
      {"ALT ^ALT", {2, 0x38, 0xB8}},            // generic modifiers go out as the left-hand keys
      {"\x07+^\x07", {2, 0x00, 0x80}},          // no scan code for the key: 0, and 0x80 on release
      {"-.LEFT", {6, 0xE0, 0x52, 0xE0, 0x53, 0xE0, 0x4B}},
      {"", {0}},
      // The names added later; the Windows and media keys have fixed codes whatever the layout says.
      {"HOME END INS DEL", {8, 0xE0, 0x47, 0xE0, 0x4F, 0xE0, 0x52, 0xE0, 0x53}},
      {"BKSP ^BKSP", {2, 0x0E, 0x8E}},
      {"WIN APPS ^APPS ^WIN", {8, 0xE0, 0x5B, 0xE0, 0x5D, 0xE0, 0xDD, 0xE0, 0xDB}},
      {"VOLUP VOLDN MUTE ^MUTE", {8, 0xE0, 0x30, 0xE0, 0x2E, 0xE0, 0x20, 0xE0, 0xA0}},
      {"PLAY STOP NEXT PREV ^PLAY", {10, 0xE0, 0x22, 0xE0, 0x24, 0xE0, 0x19, 0xE0, 0x10, 0xE0, 0xA2}},
  };
  for (const DriverCase& c : cases) EXPECT_EQ(DriverList(c.text), c.list) << c.text;
}

TEST(KeyDriver, ListNeverExceedsTwiceTheRecordsPlusOne) {
  // Every key of the extended block, pressed and released: each record needs its prefix.
  const WORD extended[] = {VK_RCONTROL,
                           VK_DIVIDE,
                           VK_RMENU,
                           VK_HOME,
                           VK_UP,
                           VK_PRIOR,
                           VK_LEFT,
                           VK_RIGHT,
                           VK_END,
                           VK_DOWN,
                           VK_NEXT,
                           VK_INSERT,
                           VK_DELETE,
                           VK_LWIN,
                           VK_APPS,
                           VK_VOLUME_UP,
                           VK_VOLUME_DOWN,
                           VK_VOLUME_MUTE,
                           VK_MEDIA_PLAY_PAUSE,
                           VK_MEDIA_STOP,
                           VK_MEDIA_NEXT_TRACK,
                           VK_MEDIA_PREV_TRACK};
  std::vector<INPUT> records;
  for (WORD vk : extended) {
    for (DWORD flags : {DWORD(0), DWORD(KEYEVENTF_KEYUP)}) {
      INPUT r = {};
      r.type = INPUT_KEYBOARD;
      r.ki.wVk = vk;
      r.ki.dwFlags = flags;
      records.push_back(r);
    }
  }
  sentLists.clear();
  gKeyDriverControl = RecordControl;
  EXPECT_EQ(DriverSendInput(UINT(records.size()), records.data(), sizeof(INPUT)), records.size());
  gKeyDriverControl = SendKeyDriverControl;
  ASSERT_EQ(sentLists.size(), 1u);
  const std::vector<DWORD>& list = sentLists[0];
  EXPECT_EQ(list.size(), 2 * records.size() + 1);
  for (size_t i = 1; i < list.size(); i += 2) EXPECT_EQ(list[i], 0xE0u) << i;
  for (size_t i = 2; i < list.size(); i += 4) EXPECT_EQ(list[i] & 0x80, 0u) << i;
  for (size_t i = 4; i < list.size(); i += 4) EXPECT_EQ(list[i] & 0x80, 0x80u) << i;

  // No extended key at all: one code per record.
  EXPECT_EQ(DriverList("ABCDEFGH").size(), 9u);
}

static OSVERSIONINFOA Version(DWORD platform, DWORD major, DWORD minor) {
  OSVERSIONINFOA v = {};
  v.dwOSVersionInfoSize = sizeof v;
  v.dwPlatformId = platform;
  v.dwMajorVersion = major;
  v.dwMinorVersion = minor;
  return v;
}

TEST(KeystrokeBackEnd, ChosenFromTheVersion) {
  HMODULE user = GetModuleHandleA("USER32");
  ASSERT_NE(user, nullptr);
  const KeystrokeBackEnd sendInput = reinterpret_cast<KeystrokeBackEnd>(GetProcAddress(user, "SendInput"));
  ASSERT_NE(sendInput, nullptr);
  struct {
    const char* name;
    OSVERSIONINFOA version;
    bool driver;
  } cases[] = {
      {"95", Version(VER_PLATFORM_WIN32_WINDOWS, 4, 0), true},
      {"95, other major", Version(VER_PLATFORM_WIN32_WINDOWS, 3, 0), true},
      {"98", Version(VER_PLATFORM_WIN32_WINDOWS, 4, 10), false},
      {"Me", Version(VER_PLATFORM_WIN32_WINDOWS, 4, 90), false},
      {"NT 4", Version(VER_PLATFORM_WIN32_NT, 4, 0), false},
      {"XP", Version(VER_PLATFORM_WIN32_NT, 5, 1), false},
      {"10", Version(VER_PLATFORM_WIN32_NT, 10, 0), false},
  };
  for (const auto& c : cases) {
    gKeystrokeBackEnd = nullptr;
    EXPECT_EQ(UsesKeyDriver(&c.version), c.driver) << c.name;
    int result = ChooseKeystrokeBackEnd(&c.version);
    if (c.driver) {
      // The driver cannot be opened here, so the choice fails as start-up would see it.
      EXPECT_EQ(gKeystrokeBackEnd, DriverSendInput) << c.name;
      EXPECT_EQ(result, -2) << c.name;
      CloseKeyDriver();
    } else {
      EXPECT_EQ(gKeystrokeBackEnd, sendInput) << c.name;
      EXPECT_EQ(result, 0) << c.name;
    }
  }
  gKeystrokeBackEnd = nullptr;
}

TEST(KeyDriver, OpenFailsWithTheSystemErrorWhereNoDriverExists) {
  int error = OpenKeyDriver();
  EXPECT_GT(error, 0);
  EXPECT_EQ(CloseKeyDriver(), 0);
}

// The program finds SendInput at run time; an import would keep it from loading where the
// function is missing. The test program links the same code, so its import table must not
// name SendInput either.
TEST(KeystrokeBackEnd, SendInputIsNotImported) {
  const BYTE* base = reinterpret_cast<const BYTE*>(GetModuleHandleA(nullptr));
  const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  ASSERT_NE(dir.VirtualAddress, 0u);
  int names = 0;
  for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; d++) {
    std::string dll = reinterpret_cast<const char*>(base + d->Name);
    auto* thunk = reinterpret_cast<const IMAGE_THUNK_DATA*>(
        base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
    for (; thunk->u1.AddressOfData; thunk++) {
      if (IMAGE_SNAP_BY_ORDINAL(thunk->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + thunk->u1.AddressOfData);
      EXPECT_STRNE(reinterpret_cast<const char*>(byName->Name), "SendInput") << dll;
      names++;
    }
  }
  EXPECT_GT(names, 10);  // the walk did find the imports
}
