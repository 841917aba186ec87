// The Media Center decoder. The codes are those the remotes send for the buttons that Windows
// turns into no key; those that it also turns into keys (volume, mute, play and pause, next,
// previous, stop, the browser and launch keys) reach the program through the keyboard hook, so
// here they decode to kMceKeysPath and act once. The arrows, digits, OK and Enter come as keyboard
// reports and never reach this decoder.
#include "receiver/mce.h"

struct MceCode {
  unsigned code;
  const char* name;  // null: Windows makes a key of it
};

static const MceCode kMediaCenterCodes[] = {
    {0x0D, "START"},       {0x24, "DVDMENU"},  {0x25, "LIVETV"},   {0x46, "MYTV"},     {0x47, "MUSIC"},
    {0x48, "RECORDEDTV"},  {0x49, "PICTURES"}, {0x4A, "VIDEOS"},   {0x4B, "DVDANGLE"}, {0x4C, "DVDAUDIO"},
    {0x4D, "DVDSUBTITLE"}, {0x50, "RADIO"},    {0x5A, "TELETEXT"}, {0x5B, "RED"},      {0x5C, "GREEN"},
    {0x5D, "YELLOW"},      {0x5E, "BLUE"},
};

static const MceCode kConsumerCodes[] = {
    {0x8D, "GUIDE"},  {0x9C, "CHUP"},     {0x9D, "CHDN"},   {0xB2, "RECORD"}, {0xB3, "FFWD"},
    {0xB4, "REWIND"}, {0x209, "DETAILS"}, {0xB0, nullptr},  {0xB1, nullptr},  {0xB5, nullptr},
    {0xB6, nullptr},  {0xB7, nullptr},    {0xCD, nullptr},  {0xE2, nullptr},  {0xE9, nullptr},
    {0xEA, nullptr},  {0x183, nullptr},   {0x18A, nullptr}, {0x192, nullptr}, {0x194, nullptr},
    {0x221, nullptr}, {0x223, nullptr},   {0x224, nullptr}, {0x225, nullptr}, {0x226, nullptr},
    {0x227, nullptr}, {0x22A, nullptr},
};

template <size_t N>
static int Find(const MceCode (&table)[N], unsigned code, const char** name) {
  for (const MceCode& row : table) {
    if (row.code != code) continue;
    *name = row.name;
    return row.name ? kMceButton : kMceKeysPath;
  }
  return kMceUnknown;
}

int MceDecode(unsigned page, unsigned usage, const uint8_t* report, size_t size, const char** name) {
  *name = nullptr;
  bool media = page == kMcePageMediaCenter && usage == kMceUsageMediaCenter;
  bool consumer = page == kMcePageConsumer && usage == kMceUsageConsumer;
  if ((!media && !consumer) || !report || size == 0) return kMceUnknown;
  size_t width = media ? 1 : 2;
  unsigned code = 0;
  for (size_t i = 0; i < width && 1 + i < size; i++) code |= unsigned(report[1 + i]) << (8 * i);
  if (code == 0) return kMceRelease;
  int kind = media ? Find(kMediaCenterCodes, code, name) : Find(kConsumerCodes, code, name);
  if (kind != kMceButton) *name = nullptr;
  return kind;
}
