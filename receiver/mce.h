// Media Center remote buttons that arrive as raw input reports: the Media Center page (0xFFBC,
// usage 0x88) and consumer control (0x0C, usage 0x01). Pure code, also built natively.
#pragma once
#include <stddef.h>
#include <stdint.h>

#define kMceRemote "mce"  // the remote of every button decoded here: Key.mce.GUIDE
enum {
  kMcePageMediaCenter = 0xFFBC,
  kMceUsageMediaCenter = 0x88,
  kMcePageConsumer = 0x0C,
  kMceUsageConsumer = 0x01
};
enum {
  kMceUnknown = -1,  // a code of no button known here, or a report of another collection: nothing
  kMceKeysPath = 0,  // a button that Windows also sends as a key: it acts through the keys, never here
  kMceButton = 1,    // a button pressed: *name is its button name
  kMceRelease = 2,   // the empty report: the button held before is released
};

// Decodes one report of the collection (page, usage). The report begins with its report id; the
// code follows in little-endian order, one byte on the Media Center page, two on consumer control
// (bytes beyond them are ignored). A report with only zeros after its id, or with nothing after
// it, is the release. *name is set for kMceButton only (a constant text), else null.
int MceDecode(unsigned page, unsigned usage, const uint8_t* report, size_t size, const char** name);
