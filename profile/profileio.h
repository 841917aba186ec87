// What the profile's reader and writer share inside the module: the reading of a file's bytes and
// the decoding of UTF-16, each written once (profile/profile.cpp).
#pragma once
#include <windows.h>

#include <stddef.h>

// `length` bytes of the open file from where it stands, into a malloc'ed block with room for a
// terminator (free it); *done says how many came. Null when there is no memory.
char* ProfileReadBytes(HANDLE file, DWORD length, DWORD* done);
// `size` bytes of UTF-16 (little or big endian, no byte order mark) as a malloc'ed array of
// *units units with room for one more (free it); null when there is no memory.
WCHAR* ProfileDecodeUtf16(const char* bytes, size_t size, bool big, int* units);
