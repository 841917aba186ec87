// The words for a save that failed, from the profile writer's result or a system error code, through
// the text module. Setup and the Assign dialog show them.
#pragma once
#include <windows.h>

#include <stddef.h>

// The reason for ProfileWriteString's `result` (profile/profilewrite.h) with its system error code, for
// the profile at `path`, into out (size bytes).
void SaveReasonText(char* out, size_t size, int result, unsigned long error, const char* path);
// The system's text for error code `error` with the code, into out (size bytes).
void SaveSystemText(char* out, size_t size, unsigned long error);
// Shows that `whatId` (a text id: IDS_SAVE_PORT, ...) could not be saved in `where`, for `why`.
void SaveShowFailure(HWND owner, int whatId, const char* where, const char* why);
