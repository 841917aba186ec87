// Writes KEYBOARD action lines for the user: from a shortcut as the standard hotkey control gives
// it (a virtual-key code and HOTKEYF_ modifier bits), the line that presses the modifiers, the key,
// and releases them in reverse ("KEYBOARD CTRL+SHIFT+S+^S+^SHIFT+^CTRL"). Every token is taken
// from what the keystroke parser reads (its key-name table, else the character of the key's own
// code), and the whole line is read back through the parser before it is handed out, so that it
// presses exactly the captured keys. Pure code, also built natively.
#pragma once
#include <stddef.h>

// The modifier bits of the hotkey control (HOTKEYF_SHIFT, HOTKEYF_CONTROL, HOTKEYF_ALT, HOTKEYF_EXT).
enum { kKeyLineShift = 0x01, kKeyLineCtrl = 0x02, kKeyLineAlt = 0x04, kKeyLineExt = 0x08 };

// The longest line KeyLineFromHotkey writes, with its terminator.
enum { kKeyLineMax = 64 };

// The token that the parser reads as key `vk` when "+" or the end of the text follows it: a name
// of its key-name table (the first row that gives vk) or a single character below 128. Returns 0
// with the token in out (outSize bytes, at least 6), or -1 when the notation has no such token.
int KeyLineToken(unsigned vk, char* out, size_t outSize);

// Why KeyLineFromHotkey wrote no line (the dialog words it).
enum KeyLineRefusal {
  kKeyLineModifierAlone = -1,  // Ctrl, Alt or Shift alone is no shortcut
  kKeyLineNoName = -2,         // the notation has no token for the key
  kKeyLineNoCombination = -3,  // the key's token runs into its neighbours with these modifiers
  kKeyLineTooLong = -4,        // the line does not fit into out
};

// Writes "KEYBOARD " and the presses and releases of shortcut vk with modifiers `mods` (Ctrl, Alt,
// Shift pressed in that order, released in reverse; kKeyLineExt is ignored: the notation sends the
// key by its code alone). Returns 0; or a KeyLineRefusal with out empty when the notation cannot
// express the key, or the key is a modifier alone.
int KeyLineFromHotkey(unsigned vk, unsigned mods, char* out, size_t outSize);
