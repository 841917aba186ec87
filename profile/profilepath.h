// The path of the profile in use: the one beside the program (shared by everyone who runs it from
// there), or the user's own, %APPDATA%\Halvesta Remote\profiles.ini, for a user who may not write
// into the program's folder (an install for all users). Part of the profile module.
//
// Found by trying: a user's first save that is refused because the new file cannot be made beside
// the shared profile (access denied) makes the own profile, the shared text with the change applied,
// through the same crash-safe writer; from then on that user reads and writes only the own one.
// A program that runs elevated reads and writes only the shared profile: a user's own profile can be
// changed by anything that runs as that user, and must not steer an elevated program.
#pragma once
#include <stddef.h>

#include "profile/profilewrite.h"

enum { kProfileShared = 0, kProfileOwn = 1 };

// Which profile serves: the shared one when elevated; else the own one when it exists or the shared
// one refused the save (sharedRefused); else the shared one.
int ProfileChoose(bool elevated, bool ownExists, bool sharedRefused);

// Sets the profile in use (gProfilePath) for the shared profile at `sharedPath`, as ProfileChoose
// says with no save tried yet. Main thread, at start-up.
void ProfileUseFor(const char* sharedPath);
// Copies the path of the profile in use (gProfilePath) for a thread other than the main one, which
// may switch it during a save; `size` up to MAX_PATH.
void ProfilePathCopy(char* out, size_t size);
// kProfileOwn when the profile in use is the user's own, else kProfileShared.
int ProfileInUse();
// The shared profile's path, and the user's own (empty when %APPDATA% is unknown); MAX_PATH bytes.
const char* ProfileSharedPath();
const char* ProfileOwnPath();

// Saves entries of one section into the profile in use, as ProfileWriteEntries does; a save the
// shared profile refuses (access denied) makes the user's own profile, when it may, and switches to
// it. The error texts name gProfilePath, the file last tried. Main thread.
int ProfileSaveEntries(const char* section, const ProfileSetting* entries, size_t count,
                       unsigned long* error);

// Back to the shared profile from the user's own: the own one is kept as profiles.ini.bak beside it
// (replacing an older backup), so that the next start and the next lookup read the shared one.
// 0; -1 with the system's error code in *error when the own profile could not be moved. Main thread.
int ProfileUseShared(unsigned long* error);

// Whether the program runs elevated (a full administrator's token); tests replace it.
extern bool (*gProfileElevated)();
