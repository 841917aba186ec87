// Window title handling for the profile lookup. Pure code, also built natively.
#pragma once
#include <stddef.h>

// Cuts a title copy just after its first '-' when something follows the dash
// ("Untitled - Notepad" becomes "Untitled -"). Returns 1 when cut (an alias may apply),
// 0 when there is no dash or the dash is the last character (title left as it was).
int CutAliasTitle(char* title);

// Whether the whole of `title` matches `pattern`: "*" stands for any run of characters (none
// included), "?" for exactly one; ASCII letters match without regard to case, as section names
// do. Time near linear in the title's length: a failed match goes back only to the last "*".
bool TitleMatches(const char* pattern, size_t patternLength, const char* title, size_t titleLength);

// The section name that serves `title` (outSize bytes, at least the title's length + 1): the title
// itself when a section header can hold it (1); else a title pattern with "?" for each "]" (which
// would end the header) and "*" for the last of them when the pattern has no "*" of its own, so
// that the lookup reads it as a pattern (2, "Doc ?Compatibility Mode*"); -1 with out empty when
// even that cannot serve: an empty title, a line break in it, or nothing but "]" and blanks.
int TitleSectionName(const char* title, char* out, size_t outSize);
