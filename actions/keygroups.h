// The platform-free half of the action line interpreter: the keyword at the start of a line,
// and the splitting of a KEYBOARD argument into keystroke groups with a pause after every space.
// Also built natively for the sanitizer and fuzz runs.
#pragma once
#include "actions/winput.h"
#include "profile/profiletext.h"

// The longest action line that runs. Profile values are read with room for one character more,
// so that a longer value is noticed (and not run) instead of being cut to this length.
enum { kActionLineMax = kProfileLineMax };

enum { kActionNone = -1, kActionCommand = 0, kActionKeyboard = 1, kActionClose = 2, kActionExec = 3 };

// Skips leading spaces and matches "COMMAND", "KEYBOARD", "CLOSE", "EXEC" in that order, each
// without regard to case over its own length. Returns the keyword (kActionNone when none) and
// sets *argument to the text after the keyword and the spaces that follow it.
int ActionSplitLine(const char* line, const char** argument);

enum { kGroupRecords = 256 };

struct KeyGroupOps {
  // Injects one keystroke group of 1..kGroupRecords records; returns the group's result.
  int (*send)(void* context, INPUT* records, unsigned count);
  // Runs the pause after a space; returns non-zero when the line is to be cut off.
  int (*pause)(void* context);
  void* context;
};

// Sends the keystroke notation `text` group by group. A group that would outgrow the group
// array goes out in full parts of kGroupRecords records, without pauses between them. Returns
// the result of the line's last group (0 when it was empty). When a pause cuts the line off,
// the keys it pressed whose release is still to come in the rest of its text are released
// (latest press first) in one more group, and the result of the last group before is returned.
int KeyGroupsRun(const char* text, const KeyGroupOps* ops);
