// The keys of USB remotes that a profile serves, as the keyboard hook decides from them: built from
// the profile's text section by section, in the way the lookup reads it. Pure code, also built
// natively.
#pragma once
#include <stddef.h>

#include "actions/keytake.h"

// What a profile asks of the keys of remotes. Neither with [default] keys=0.
enum {
  kKeyTableHook = 1,  // it names a key that may be taken: Key.NAME or Key.keyboard.NAME (.hold, .long)
  kKeyTableMce = 2,   // it names a Media Center button: Key.mce.NAME
};

// The table of the keys that `size` bytes of profile text serve, row by row as the lookup finds
// them: a section named by a window's title (also the program's section, "vlc.exe"), its alias
// ([title -]), a title pattern ("*YouTube*"), "class:" + a window class, and [default]. As the
// lookup reads the file, only the first section of a name counts (every pattern section does), only
// the first entry of a name in it, and an empty value is none. *wants gets the kKeyTable bits.
// Null when the profile names no key to take, with keys=0, or out of memory (then without
// kKeyTableHook).
KeyTakeTable* KeyTableBuild(const char* text, size_t size, int* wants);
