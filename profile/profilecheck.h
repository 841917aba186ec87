// The profile check behind "remote.exe /check": reads the text of a profile file the way the
// private-profile functions do and finds the entries that cannot do what their writer meant.
// Pure code (text in, problems out: kinds and the values a report names), also built natively;
// app/check.cpp words them. Part of the profile module: profile/profile.h reads, profile/profilewrite.h
// writes.
#pragma once
#include <stddef.h>

enum {
  kCheckNoKeyword = 1,    // the value begins with none of KEYBOARD, COMMAND, CLOSE, EXEC
  kCheckKeysHeld = 2,     // a KEYBOARD line leaves keys down at its end (detail: which)
  kCheckNotAButton = 3,   // a "Key..." entry other than Key0 to Key127 (KeyN.hold, KeyN.long included)
  kCheckNoSection = 4,    // a [title -] entry names a section that does not exist (detail: its name)
  kCheckTooLong = 5,      // longer than kActionLineMax: never runs (detail: the length)
  kCheckShadowed = 6,     // a title pattern an earlier one always serves first, for every key it holds
                          // (detail: the earlier one's name); simple forms *text*, text*, *text only
  kCheckNoClass = 7,      // a [class:] section without a class name
  kCheckLongPattern = 8,  // a title pattern of more than 255 characters: no title is that long
  kCheckUnreadable = 9,   // the file is no text the program can read (found by the caller from its encoding)
  kCheckHoldValue = 10,   // a .hold entry, or hold= of [default], names no policy (detail: the value)
  kCheckTiming = 11,      // a timing of [default] that is no number within 50..5000 (detail: the value)
  kCheckOsd = 12,         // osd= of [default] that is not 0 or 1, or osdtime= no number within 500..10000
                          // (detail: the value)
  kCheckNoName = 13,      // a "Key." entry without a button name that can be written ("Key.", "Key.DEMO.")
  kCheckLirc = 14,  // lirc= of [default] that is not HOST[:PORT] with a port 1..65535 (detail: the value)
  kCheckKeys = 15,  // keys= of [default] that is not 0 or 1 (detail: the value)
  kCheckNeverTaken = 16,  // Key.NAME or Key.keyboard.NAME of a key the program never takes (detail: NAME)
  kCheckLastKind = 16,
};

struct ProfileProblem {
  int kind;
  int line;  // in the file, from 1
  char section[128];
  char key[128];
  char detail[256];  // the value the kind names (see above), as written or as decimal digits
};

// What the check leaves to the action code, which knows action lines (actions/linerules.cpp):
// whether a value names a hold policy, whether a timing of [default] is one the program takes, the
// keyword an action line begins with, the keys a KEYBOARD argument leaves held down (named into
// detail, size bytes; their count), and which named buttons are keys that are never taken.
enum { kProfileLineNoKeyword = -1, kProfileLineKeyboard = 1 };
struct ProfileLineRules {
  int (*holdPolicy)(const char* value);          // >= 0: a policy
  int (*timing)(const char* value, int timing);  // >= 0: taken; timing: kProfileTimingNames' index
  int (*keyword)(const char* line,
                 const char** argument);  // kProfileLineNoKeyword, kProfileLineKeyboard, ...
  int (*keysLeftDown)(const char* argument, char* detail, size_t size);
  int (*osdOn)(const char* value);    // >= 0: osd= taken
  int (*osdTime)(const char* value);  // >= 0: osdtime= taken
  // 1: Key.NAME or Key.REMOTE.NAME (remote "" for none) names a key of the notation that the
  // keyboard hook never takes ("Key.ENTER", "Key.keyboard.F5"); 0 else
  int (*neverTaken)(const char* remote, const char* name);
};
extern const ProfileLineRules gProfileLineRules;

typedef void (*ProfileProblemFn)(void* context, const ProfileProblem* problem);

// Checks `size` bytes of profile text (no terminator needed) and reports every problem in the
// order of the file. Returns the number of problems.
int ProfileCheckText(const char* text, size_t size, ProfileProblemFn report, void* context);
