#include "profile/profilecheck.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "actions/press.h"
#include "actions/keygroups.h"
#include "actions/keyparse.h"
#include "profile/profiletext.h"

// The problems found in `text`, one line each: where, the kind and its value ("Line 3, [x] Key2:
// held "A""); app's text tests word them.
static std::vector<std::string> Problems(const std::string& text) {
  std::vector<std::string> found;
  int count = ProfileCheckText(
      text.data(), text.size(),
      [](void* context, const ProfileProblem* p) {
        static const char* const kKinds[] = {
            "",         "no keyword",   "held",       "not a button", "no section", "too long", "shadowed",
            "no class", "long pattern", "",           "hold",         "timing",     "osd",      "no name",
            "lirc",     "keys",         "never taken"};
        std::string line = "Line " + std::to_string(p->line) + ", [" + p->section + "]" +
                           (p->key[0] ? std::string(" ") + p->key : "") + ": " + kKinds[p->kind];
        if (p->detail[0]) line += std::string(" ") + p->detail;
        static_cast<std::vector<std::string>*>(context)->push_back(line);
      },
      &found);
  EXPECT_EQ(count, int(found.size()));
  return found;
}

struct CheckCase {
  const char* what;
  std::string profile;
  std::vector<std::string> problems;
};

static const std::string kLongest = "EXEC " + std::string(kActionLineMax - 5, 'x');

static const CheckCase kCheckCases[] = {
    {"empty file", "", {}},
    {"sound lines of every kind",
     "[default]\r\nport=2\r\nKey0=KEYBOARD ESC+^ESC\r\nKey127=COMMAND 57\r\nKEY5=close\r\nKey6=EXEC "
     "calc.exe\r\n"
     "Key7=\r\nKey8=KEYBOARD CTRL+S ^S+^CTRL\r\nKey9=KEYBOARD ^A\r\n",
     {}},
    {"comment after a value is typed",
     "[default]\r\nKey1=KEYBOARD BLANK+^BLANK ; pause\r\nKey2=KEYBOARD BLANK+^BLANK ; play\r\n",
     {"Line 2, [default] Key1: held \";\", \"p\" (F1), \"a\" (NUM1), \"u\" (F6), \"s\" "
      "(F4), "
      "\"e\" (NUM5)",
      "Line 3, [default] Key2: held \";\", PLAY"}},
    {"line cut short",
     "[Editor]\n\nKey3=KEYBOARD CTRL+A ^A+^CTR\n",
     {"Line 3, [Editor] Key3: held CTRL, \"T\", \"R\""}},
    {"names held as written, any case",
     "[x]\nKey1=KEYBOARD shift+Alt+HOME+volup\n",
     {"Line 2, [x] Key1: held SHIFT, ALT, HOME, VOLUP"}},
    {"a key pressed twice and released once is up", "[x]\nKey1=KEYBOARD A+A+^A\n", {}},
    {"no keyword",
     "[x]\nKey1=KEYBORD A+^A\nKey2=  ; nothing\nKey3=TYPE X\n",
     {"Line 2, [x] Key1: no keyword", "Line 3, [x] Key2: no keyword", "Line 4, [x] Key3: no keyword"}},
    {"not a button",
     "[x]\nKey128=CLOSE\nKey-1=CLOSE\nKey07=CLOSE\nKey=CLOSE\nKeys=CLOSE\nKey 5=CLOSE\nKey1000=\n",
     {"Line 2, [x] Key128: not a button", "Line 3, [x] Key-1: not a button",
      "Line 4, [x] Key07: not a button", "Line 5, [x] Key: not a button", "Line 6, [x] Keys: not a button",
      "Line 7, [x] Key 5: not a button", "Line 8, [x] Key1000: not a button"}},
    {"buttons by name",
     "[x]\nKey.KEY_PLAY=CLOSE\nkey.demo.key_up=CLOSE\nKey.DEMO.KEY_OK.hold=once\nKey.KEY_OK.long=CLOSE\n"
     "Key.=CLOSE\nKey..KEY_OK=CLOSE\nKey.DEMO.=CLOSE\nKey.A.B.C=CLOSE\nKey.KEY "
     "PLAY=CLOSE\nKey.KEY_OK.hold=often\nKey.DEMO.KEY_PLAY.osd=Play\n",
     {"Line 6, [x] Key.: no name", "Line 7, [x] Key..KEY_OK: no name", "Line 8, [x] Key.DEMO.: no name",
      "Line 9, [x] Key.A.B.C: no name", "Line 10, [x] Key.KEY PLAY: no name",
      "Line 11, [x] Key.KEY_OK.hold: hold often"}},
    {"keys that are never taken; LIRC names and other remotes' buttons are fine",
     "[x]\nKey.ENTER=CLOSE\nKey.keyboard.F5.long=CLOSE\nKey.KEYBOARD.a.osd=A\nKey.DEMO.ENTER=CLOSE\n"
     "Key.KEY_OK=CLOSE\nKey.keyboard.PLAY=CLOSE\nKey.F13=CLOSE\nKey.UP=\n",
     {"Line 2, [x] Key.ENTER: never taken ENTER", "Line 3, [x] Key.keyboard.F5.long: never taken F5",
      "Line 4, [x] Key.KEYBOARD.a.osd: never taken a"}},
    {"network receiver and USB remote keys in [default]",
     "[default]\nlirc=pi.local\nLIRC=[::1]:8765\nlirc=\nkeys=0\nkeys= 1 "
     "\nkeys=\n[x]\nlirc=whatever\n",
     {}},
    {"network receiver: an address that is no HOST[:PORT]",
     "[default]\nlirc=pi:0\nlirc=pi:65536\nlirc=pi:http\nlirc=:8765\nlirc=a b\n",
     {"Line 2, [default] lirc: lirc pi:0", "Line 3, [default] lirc: lirc pi:65536",
      "Line 4, [default] lirc: lirc pi:http", "Line 5, [default] lirc: lirc :8765",
      "Line 6, [default] lirc: lirc a b"}},
    {"USB remote keys: keys= other than 0 or 1",
     "[default]\nkeys=yes\nkeys=01\n",
     {"Line 2, [default] keys: keys yes", "Line 3, [default] keys: keys 01"}},
    {"other entries are not looked at", "[default]\nport=9\nname=whatever\n", {}},
    {"held buttons: sound entries and timings",
     "[default]\nhold=Once\nrelease=180\nrepeatdelay=50\nrepeatinterval= 5000 \nlongpress=\nKey1=KEYBOARD "
     "A+^A\n"
     "Key1.hold=REPEAT\nKey1.long=EXEC calc.exe\nKey2.hold=\n[vlc.exe]\nKey1.long=CLOSE\nrelease=1\n",
     {}},
    {"held buttons: what the program cannot take",
     "[default]\nhold=twice\nrelease=49\nrepeatdelay=fast\nlongpress=5001\nKey1.hold=always\n"
     "Key1.long=TYPE X\nKey2.long=KEYBOARD CTRL\nKey.hold=once\nKeyX.long=CLOSE\nKey200.hold=once\n",
     {"Line 2, [default] hold: hold twice", "Line 3, [default] release: timing 49",
      "Line 4, [default] repeatdelay: timing fast", "Line 5, [default] longpress: timing 5001",
      "Line 6, [default] Key1.hold: hold always", "Line 7, [default] Key1.long: no keyword",
      "Line 8, [default] Key2.long: held CTRL", "Line 9, [default] Key.hold: not a button",
      "Line 10, [default] KeyX.long: not a button", "Line 11, [default] Key200.hold: not a button"}},
    {"on-screen display: sound settings and .osd texts",
     "[default]\nosd=1\nosdtime=500\nKey5.osd=Volume up\nKey6.OSD=\n[vlc.exe]\nosd=yes\nKey1.osd=;)\n",
     {}},
    {"on-screen display: what the program cannot take",
     "[default]\nosd=2\nosdtime=499\nOSDTIME=10001\nosdtime=1.5s\nosd= on\nKey.osd=Play\n",
     {"Line 2, [default] osd: osd 2", "Line 3, [default] osdtime: osd 499",
      "Line 4, [default] OSDTIME: osd 10001", "Line 5, [default] osdtime: osd 1.5s",
      "Line 6, [default] osd: osd on", "Line 7, [default] Key.osd: not a button"}},
    {"alias to a missing section",
     "[title -]\nUntitled -=Editor\nDoc -=editor\nGhost -=Nowhere\nBlank -=\n[EDITOR]\nKey1=CLOSE\n",
     {"Line 4, [title -] Ghost -: no section Nowhere"}},
    {"alias entries are not action lines", "[Title -]\nKeypad -=Key Pad\n[Key Pad]\n", {}},
    {"the longest line is fine", "[x]\nKey1=" + kLongest + "\n", {}},
    {"one character more does not run", "[x]\nKey1=" + kLongest + "A\n", {"Line 2, [x] Key1: too long 4097"}},
    {"blanks, quotes and comments as the profile functions read them",
     "  [ spaced ]  \r\n; Key1=KEYBOARD A\r\n  Key2 =  \"KEYBOARD B+^B\"  "
     "\r\nKey3='CLOSE'\r\nKey4=\"CLOSE\r\nnot an entry\r\n",
     {"Line 5, [spaced] Key4: no keyword"}},
    {"entries above the first section are never read", "Key1=nothing\nKey999=\n[x]\n", {}},
    {"byte order mark", "\xEF\xBB\xBF[x]\nKey1=A\n", {"Line 2, [x] Key1: no keyword"}},
    {"no newline at the end", "[x]\nKey1=KEYBOARD A", {"Line 2, [x] Key1: held \"A\""}},
    {"title patterns an earlier one always serves first",
     "[*Tube*]\nKey1=CLOSE\nKey2=CLOSE\n[*YouTube*]\nKey1=CLOSE\n[*YouTube - Browser]\nKey2=CLOSE\n"
     "[You*]\nKey1=CLOSE\n[Yo*]\nKey3=CLOSE\n[YouTube*]\nKey3=CLOSE\n[*Tube*]\nKey1=CLOSE\n"
     "[*ube]\nKey3=CLOSE\n[*Tube]\nKey3=CLOSE\n",
     {"Line 4, [*YouTube*]: shadowed *Tube*", "Line 6, [*YouTube - Browser]: shadowed *Tube*",
      "Line 12, [YouTube*]: shadowed Yo*", "Line 14, [*Tube*]: shadowed *Tube*",
      "Line 18, [*Tube]: shadowed *ube"}},
    {"patterns that serve: other keys, other forms, not simple",
     "[*Tube*]\nKey1=CLOSE\n[*YouTube*]\nKey2=CLOSE\n[Tube*]\nKey3=CLOSE\n[*Tube]\nKey4=CLOSE\n"
     "[Tube - *]\nKey4=CLOSE\n[*T?be*]\nKey1=CLOSE\n[*Tube*x*]\nKey5=CLOSE\n[*Tub*]\nKey6=\n"
     "[*Tv*]\nKey0=CLOSE\n[*Tv - *]\nKey.PLAY=CLOSE\nKey0=CLOSE\n",
     {}},
    {"a class without a name, a pattern too long for any title",
     "[class:]\nKey1=CLOSE\n[class:Notepad]\nKey1=CLOSE\n[*" + std::string(255, 'p') + "]\nKey1=CLOSE\n",
     {"Line 1, [class:]: no class", "Line 5, [*" + std::string(126, 'p') + "]: long pattern 256"}},
};

TEST(ProfileCheck, FindsTheLinesWithProblems) {
  for (const CheckCase& c : kCheckCases) EXPECT_EQ(Problems(c.profile), c.problems) << c.what;
}

// The same check over the sample profile that the installer puts beside the program.
TEST(ProfileCheck, SampleProfileHasNoProblems) {
#ifdef _WIN32
  const std::string path = std::string("Z:") + REMOTE_SOURCE_DIR + "/resources/profiles.ini";
#else
  const std::string path = std::string(REMOTE_SOURCE_DIR) + "/resources/profiles.ini";
#endif
  FILE* f = fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr) << path;
  std::string text;
  char block[4096];
  size_t n;
  while ((n = fread(block, 1, sizeof block, f)) > 0) text.append(block, n);
  fclose(f);
  EXPECT_NE(text.find("[notepad.exe]"), std::string::npos);
  EXPECT_EQ(Problems(text), std::vector<std::string>());
  // Every button repeats while held when named here, else acts once per press; none on every signal
  // (a tap of several frames would act several times).
  const std::string repeat =
      " default:1 default:2 default:3 default:4 default:7 default:8 default:9 default:10 "
      "default:16 default:17 *YouTube*:3 *YouTube*:4 ";
  std::map<std::string, std::string> values;  // "section:N" and "section:N.hold"
  std::string section, line;
  for (std::istringstream lines(text); std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line[0] == '[') section = line.substr(1, line.find(']') - 1);
    if (line.rfind("Key", 0) == 0)
      values[section + ":" + line.substr(3, line.find('=') - 3)] = line.substr(line.find('=') + 1);
  }
  ASSERT_GT(values.size(), 30u);
  for (const auto& [entry, value] : values) {
    if (entry.find('.') != std::string::npos) continue;
    const char* argument;
    auto hold = values.find(entry + ".hold");
    int policy = PressPolicyFor(hold == values.end() ? nullptr : hold->second.c_str(), "repeat",
                                ActionSplitLine(value.c_str(), &argument));
    EXPECT_EQ(policy, repeat.find(" " + entry + " ") != std::string::npos ? kPressRepeat : kPressOnce)
        << entry;
  }
  EXPECT_NE(text.find("\nhold=repeat"), std::string::npos);  // in [default]
}

// The encodings a file is read in (the bytes as a program's editor saves them).
TEST(ProfileCheck, TellsTheEncodingOfTheBytes) {
  const struct {
    std::string bytes;
    int encoding;
  } cases[] = {
      {"", kProfileAnsi},
      {"[S]\nKey1=plain", kProfileAnsi},
      {"[Caf\xE9]", kProfileAnsi},
      {"[Caf\xC3\xA9]", kProfileUtf8},
      {"[\xF0\x9F\x8E\xB5]", kProfileUtf8},
      {"[\xC0\xAF]", kProfileAnsi},      // overlong
      {"[\xED\xA0\x80]", kProfileAnsi},  // a surrogate
      {"[Caf\xC3]", kProfileAnsi},       // cut short
      {"\xEF\xBB\xBF[S]", kProfileUtf8Bom},
      {"\xFF\xFE[\0", kProfileUtf16Le},
      {"\xFE\xFF\0[", kProfileUtf16Be},
      {std::string("[\0S\0]\0", 6), kProfileUtf16NoBom},
      {std::string("\0[\0S\0]", 6), kProfileUtf16NoBom},
      {std::string("[S]\nK=a\0b\n", 10), kProfileNulBytes},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProfileTextEncoding(c.bytes.data(), c.bytes.size()), c.encoding) << c.bytes;
  }
}
