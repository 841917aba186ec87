// The keys of USB remotes as buttons: which keys the program may take from the window in front,
// their button names, and the table the keyboard hook decides from. Pure code, also built natively.
#pragma once
#include <stddef.h>
#include <stdint.h>

#define kKeyTakeRemote "keyboard"  // the remote of every key taken: Key.keyboard.PLAY
enum { kKeyTakeInjected = 0x10 };  // the injected bit of a low-level hook's flags

// 1 when a key of this code may be taken: F13-F24 and the browser, volume, media and launch keys
// (0xA6-0xB7); 0 for every other (letters, digits, Enter, arrows, F1-F12, modifiers).
int KeyTakeKind(unsigned vk);
// 1 when a key event with these low-level hook flags may be taken: its kind may and no program
// (this one included) injected it.
int KeyTakeAllowed(unsigned vk, unsigned flags);
// The button name of a key that may be taken, the notation's key name ("PLAY", "F13"); null else.
const char* KeyTakeName(unsigned vk);
// The code of the key that may be taken that `name` names (any letter case); 0 when none does.
unsigned KeyTakeCode(const char* name);
// 1 when `name` names a key that is never taken ("ENTER", "F5", "SHIFT", "A", "7"): an entry for
// it can never act. 0 for a key that may be taken and for a name that is no key.
int KeyTakeNeverTaken(const char* name);

// What the hook knows of the window in front; null or empty texts match no section of their kind.
struct KeyTakeWindow {
  const char* title;
  const char* windowClass;
  const char* program;
};
// How a section serves a window: always; by the exact title; by the title cut after its first
// dash ("Untitled -", an alias); by a title pattern ("*YouTube*"); by the window class; by the
// file name of the window's program. Texts compare without regard to ASCII case.
enum { kKeyTakeDefault, kKeyTakeTitle, kKeyTakeAlias, kKeyTakePattern, kKeyTakeClass, kKeyTakeProgram };
enum { kKeyTakeTextSize = 256 };
struct KeyTakeSection {
  int kind;
  size_t length;
  char text[kKeyTakeTextSize];
  uint8_t keys[32];  // one bit per code
  // Made when the section is: the hash of its text in upper case (kinds that compare whole texts),
  // and for a title pattern the characters its title must hold (KeyTakeChars), so that nearly
  // every section that does not serve a window is ruled out without a comparison of texts.
  uint32_t hash;
  uint64_t needs;
};
// The keys the profile serves, section by section. Built by the dispatch side, never changed once
// handed to the hook, so the hook reads it without a lock.
struct KeyTakeTable {
  int count, capacity;
  uint8_t any[32];  // the keys of every section together: most keys are decided here
  KeyTakeSection* sections;
};

// A table for up to `capacity` sections; null when out of memory. KeyTakeTableFree(null) is a no-op.
KeyTakeTable* KeyTakeTableNew(int capacity);
void KeyTakeTableFree(KeyTakeTable* table);
// Adds key `vk` to the section of this kind and text (made when new). Returns 0, or -1 when the
// key may never be taken, the text is too long or the table is full (nothing added).
int KeyTakeTableAdd(KeyTakeTable* table, int kind, const char* text, unsigned vk);
// Adds the keys of bitmap `keys` (one bit per code) that may be taken, as KeyTakeTableAdd adds one.
// Returns 0 (also when none of them may be), or -1 when the text is too long or the table is full.
int KeyTakeTableAddKeys(KeyTakeTable* table, int kind, const char* text, const uint8_t keys[32]);
// The upper-case hash of `length` characters of `text`, and the set of characters they hold (one
// bit for each letter without regard to case, one for each digit, the others shared among the rest).
uint32_t KeyTakeHash(const char* text, size_t length);
uint64_t KeyTakeChars(const char* text, size_t length);
// 1 when some section that serves `window` names the key (the lookup would find an entry for it
// there, so the key is the profile's); 0 else. No allocation, no platform call.
int KeyTakeDecide(const KeyTakeTable* table, unsigned vk, const KeyTakeWindow* window);

// The keys that one table serves in one window, kept by its one user (the hook thread) between
// decisions: while the window in front keeps its texts, a decision is a comparison of them and
// a bit test instead of a walk over every section.
struct KeyTakeCache {
  const KeyTakeTable* table;  // null: empty
  char title[kKeyTakeTextSize], windowClass[kKeyTakeTextSize], program[kKeyTakeTextSize];
  uint8_t keys[32];
};
// KeyTakeDecide through the cache (zeroed before its first use; a new table empties it).
int KeyTakeDecideCached(const KeyTakeTable* table, unsigned vk, const KeyTakeWindow* window,
                        KeyTakeCache* cache);
