// The network receiver's `lirc=HOST[:PORT]` entry of [default]. Pure code.
#pragma once
#include <stddef.h>

enum { kLircDefaultPort = 8765, kLircHostMax = 256 };

enum LircAddressResult {
  kLircAddressOk = 0,
  kLircAddressEmpty = -1,    // nothing but blanks: no network receiver
  kLircAddressBadHost = -2,  // no host, or characters no host name or address has
  kLircAddressBadPort = -3,  // a port that is not a number from 1 to 65535
};

// Parses HOST, HOST:PORT, [IPV6] or [IPV6]:PORT (blanks around it allowed) into host (without the
// brackets; hostSize >= kLircHostMax) and *port (kLircDefaultPort when left out). One of
// LircAddressResult; host and *port are set only on kLircAddressOk.
int LircParseAddress(const char* text, char* host, size_t hostSize, int* port);
