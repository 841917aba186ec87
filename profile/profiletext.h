// The text of a profile file, read line by line the way the private-profile functions read it.
// Both the in-memory profile of the dispatch thread and the profile check use it. Pure code,
// also built natively.
#pragma once
#include <stddef.h>

// The names of the profile's sections and entries, written here once.
// The section whose entries name, for a title ending in " -", the section that serves it.
inline constexpr char kAliasSection[] = "title -";
inline constexpr char kProfileDefault[] = "default";     // the section every program falls back to
inline constexpr char kProfileClassPrefix[] = "class:";  // + a window class: that class's section
inline constexpr char kProfileButtonPrefix[] = "Key";    // + 0..127: a button's entry
inline constexpr char kProfileHoldSuffix[] = ".hold";    // after a button's entry: its policy when held
inline constexpr char kProfileLongSuffix[] = ".long";    // after a button's entry: its long press
inline constexpr char kProfileOsdSuffix[] = ".osd";      // after a button's entry: its on-screen text
// The settings of [default]: the port, the notices, the on-screen display, the policy of entries
// without one, the timings
// (in the order of PressTiming, actions/press.h).
inline constexpr char kProfilePort[] = "port";
inline constexpr char kProfileNotify[] = "notify";
inline constexpr char kProfileOsd[] = "osd";
inline constexpr char kProfileOsdTime[] = "osdtime";
inline constexpr char kProfileHold[] = "hold";
inline constexpr char kProfileLirc[] = "lirc";  // the network receiver: HOST[:PORT]
inline constexpr char kProfileKeys[] = "keys";  // 0: the keys of USB remotes are never taken
enum { kProfileTimingCount = 4 };
inline constexpr const char* kProfileTimingNames[kProfileTimingCount] = {"release", "repeatdelay",
                                                                         "repeatinterval", "longpress"};
// The longest value that runs as an action line; values are read with room for one character more.
enum { kProfileLineMax = 4096, kProfileKeySize = 80 };

// The entry name of button `code` with `suffix` ("", kProfileHoldSuffix, kProfileLongSuffix):
// "Key12", "Key12.long", into out (kProfileKeySize bytes). Every lookup, save and view of a button's
// entries builds the name here. Returns its length, or -1 with out empty when it does not fit.
int ProfileButtonKey(int code, const char* suffix, char* out);
// The entry names of a button, in the order each section is searched: a serial button (code 0..127,
// remote and name ignored) has one, "Key12"; a named button has "Key.REMOTE.NAME" then "Key.NAME"
// ("Key.NAME" alone without a remote), each with `suffix`. Names the receiver gives that could not
// be written as an entry name (empty, with a dot, a blank, "=" or a bracket, or too long) give none.
// Returns how many were written into out.
enum { kProfileButtonKeys = 2 };
inline constexpr char kProfileNamedPrefix[] = "Key.";  // + [REMOTE.]NAME: a named button's entry
int ProfileButtonKeys(int code, const char* remote, const char* name, const char* suffix,
                      char out[kProfileButtonKeys][kProfileKeySize]);
// Whether a remote's or button's name can stand in an entry name: 1..31 of letters, digits, "_",
// "-" and "+" (and any byte above 127, as a receiver may name it in its own code page).
bool ProfileButtonNameOk(const char* name, size_t length);

struct ProfileSpan {
  const char* text;
  size_t length;
};

enum { kProfileLineBlank = 0, kProfileLineSection = 1, kProfileLineEntry = 2 };

struct ProfileLine {
  int kind;
  int number;         // in the file, from 1
  ProfileSpan name;   // the section's name, or the entry's key
  ProfileSpan value;  // an entry's value, quotes kept (see ProfileUnquote)
  bool hasValue;      // the entry's line has an "="; a line without one is a key with no value
  bool valueNul;      // the value was cut at a NUL byte
};

struct ProfileTextReader {
  const char* next;
  const char* end;
  int number;
};

// How the bytes of a profile file are encoded, as the program reads them: with a byte order mark
// (UTF-8, UTF-16 little or big endian); UTF-8 without one when some byte is above 127 and all of
// them form valid UTF-8; else the ANSI code page. A file with NUL bytes is no text the program can
// read (negative): mostly NUL at every other byte, it was saved as UTF-16 without a byte order mark.
enum {
  kProfileAnsi = 0,
  kProfileUtf8 = 1,
  kProfileUtf8Bom = 2,
  kProfileUtf16Le = 3,
  kProfileUtf16Be = 4,
  kProfileUtf16NoBom = -1,
  kProfileNulBytes = -2,
};
int ProfileTextEncoding(const char* bytes, size_t size);
// Whether `size` bytes are valid UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool ProfileValidUtf8(const char* bytes, size_t size);

// Starts reading `size` bytes of text (no terminator needed); a UTF-8 byte order mark is skipped.
void ProfileTextOpen(ProfileTextReader* reader, const char* text, size_t size);
// The next line; false at the end of the text.
bool ProfileTextNext(ProfileTextReader* reader, ProfileLine* line);

// A name as a lookup takes it: without the blanks around it.
ProfileSpan ProfileTrim(ProfileSpan name);
// Whether a section or key name read from the file is the (trimmed) name looked for, without
// regard to the case of ASCII letters.
bool ProfileSameName(ProfileSpan stored, ProfileSpan wanted);
// A value as it is read: one pair of matching quotes (" or ') around it dropped.
ProfileSpan ProfileUnquote(ProfileSpan value);
