// Window title handling for the profile lookup. Pure code, also built natively.
#pragma once

// Cuts a title copy just after its first '-' when something follows the dash
// ("Untitled - Notepad" becomes "Untitled -"). Returns 1 when cut (an alias may apply),
// 0 when there is no dash or the dash is the last character (title left as it was).
int CutAliasTitle(char* title);
