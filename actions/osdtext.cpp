// A KEYBOARD line is read through the keystroke parser, as it would be sent, so that the display
// names the keys the line really presses, whatever notation wrote them ("p" is F1).
#include "actions/osdtext.h"

#include <stdlib.h>
#include <string.h>

#include "actions/keygroups.h"
#include "actions/keyparse.h"
#include "actions/press.h"
#include "common/format.h"
#include "resources/resource_ids.h"

static size_t Trimmed(const char* text, const char** from) {
  if (!text) text = "";
  while (*text == ' ' || *text == '\t') text++;
  size_t n = strlen(text);
  while (n && (text[n - 1] == ' ' || text[n - 1] == '\t')) n--;
  *from = text;
  return n;
}

int OsdOnParse(const char* text) {
  const char* from;
  size_t n = Trimmed(text, &from);
  if (n == 0) return 0;
  if (n == 1 && (from[0] == '0' || from[0] == '1')) return from[0] - '0';
  return -1;
}

int OsdTimeParse(const char* text, uint32_t* ms) {
  *ms = kOsdTimeDefault;
  return PressMsParse(text, kOsdTimeLeast, kOsdTimeMost, ms);
}

// The keys with a word of their own in the language module: the named keys (Assign lists them),
// then the modifiers.
const KeyWordRow kKeyWords[] = {
    {0xAF, IDS_KEY_VOLUME_UP},
    {0xAE, IDS_KEY_VOLUME_DOWN},
    {0xAD, IDS_KEY_MUTE},
    {0xB3, IDS_KEY_PLAY_PAUSE},
    {0xB2, IDS_KEY_STOP},
    {0xB0, IDS_KEY_NEXT_TRACK},
    {0xB1, IDS_KEY_PREVIOUS_TRACK},
    {0x20, IDS_KEY_SPACE},
    {0x0D, IDS_KEY_ENTER},
    {0x1B, IDS_KEY_ESC},
    {0x09, IDS_KEY_TAB},
    {0x08, IDS_KEY_BACKSPACE},
    {0x26, IDS_KEY_UP},
    {0x28, IDS_KEY_DOWN},
    {0x25, IDS_KEY_LEFT},
    {0x27, IDS_KEY_RIGHT},
    {0x21, IDS_KEY_PAGE_UP},
    {0x22, IDS_KEY_PAGE_DOWN},
    {0x24, IDS_KEY_HOME},
    {0x23, IDS_KEY_END},
    {0x2D, IDS_KEY_INSERT},
    {0x2E, IDS_KEY_DELETE},
    {0xA6, IDS_KEY_BROWSER_BACK},
    {0xA7, IDS_KEY_BROWSER_FORWARD},
    {0x5B, IDS_KEY_WINDOWS},
    {0x5D, IDS_KEY_MENU},
    {0x11, IDS_OSD_CTRL},
    {0x12, IDS_OSD_ALT},
    {0x10, IDS_OSD_SHIFT},
};
const size_t kKeyWordCount = sizeof kKeyWords / sizeof kKeyWords[0];

namespace {

// The modifiers in the order a person names them: Ctrl, Alt, Shift, the Windows key.
const unsigned kModifiers[] = {0x11, 0x12, 0x10, 0x5B};

bool IsModifier(unsigned vk) {
  for (unsigned m : kModifiers)
    if (m == vk) return true;
  return false;
}

// A key typed as a character of its own: letters and digits.
bool IsPlain(unsigned vk) {
  return (vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z');
}

void KeyWord(unsigned vk, OsdLoadFn load, char* out, size_t size) {
  for (const auto& row : kKeyWords) {
    if (row.vk == vk && load(row.id, out, size) > 0) return;
  }
  if (IsPlain(vk)) {
    FormatText(out, size, "%c", char(vk));
  } else if (vk >= 0x70 && vk <= 0x87) {
    FormatText(out, size, "F%u", vk - 0x6F);
  } else if (vk >= 0x60 && vk <= 0x69) {
    FormatText(out, size, "Num %u", vk - 0x60);
  } else if (vk > 0x20 && vk < 0x7F) {
    FormatText(out, size, "%c", char(vk));
  } else {
    FormatText(out, size, "0x%02X", vk);
  }
}

// The text under construction: cut with "..." when it outgrows its buffer.
struct Writer {
  char* out;
  size_t size;
  size_t used;
  bool cut;
};

void Put(Writer* w, const char* text) {
  if (w->size == 0) return;
  size_t n = strlen(text);
  size_t room = w->size - 1 - w->used;
  if (n > room) {
    n = room;
    w->cut = true;
  }
  memcpy(w->out + w->used, text, n);
  w->used += n;
  w->out[w->used] = '\0';
}

}  // namespace

int OsdKeysText(const char* keys, OsdLoadFn load, char* out, size_t size) {
  Writer w = {out, size, 0, false};
  if (size) out[0] = '\0';
  bool down[256] = {};
  bool usedWith[256] = {};  // a modifier that some key was pressed with while it was down
  bool inWord = false;      // the last thing written was a plain character
  bool any = false;
  char word[kOsdTextSize];
  const char* cursor = keys ? keys : "";
  for (;;) {
    INPUT record;
    INPUT* end = &record;
    int token = ParseKeyToken(&cursor, &end);
    if (token == kTokenEnd) break;
    if (token != kTokenRecord) {
      inWord = false;  // a pause ends a word
      continue;
    }
    unsigned vk = record.ki.wVk & 0xFF;
    bool release = record.ki.dwFlags & KEYEVENTF_KEYUP;
    if (IsModifier(vk)) {
      if (!release) {
        down[vk] = true;
        usedWith[vk] = false;
      } else if (down[vk]) {
        down[vk] = false;
        if (!usedWith[vk]) {  // pressed and let go alone
          if (any) Put(&w, ", ");
          KeyWord(vk, load, word, sizeof word);
          Put(&w, word);
          any = true;
          inWord = false;
        }
      }
      continue;
    }
    if (release) continue;
    bool modified = false;
    for (unsigned m : kModifiers) modified = modified || down[m];
    if (!modified && IsPlain(vk) && inWord) {
      KeyWord(vk, load, word, sizeof word);
      Put(&w, word);
      continue;
    }
    if (any) Put(&w, ", ");
    for (unsigned m : kModifiers) {
      if (!down[m]) continue;
      usedWith[m] = true;
      KeyWord(m, load, word, sizeof word);
      Put(&w, word);
      Put(&w, "+");
    }
    KeyWord(vk, load, word, sizeof word);
    Put(&w, word);
    any = true;
    inWord = !modified && IsPlain(vk);
  }
  if (w.cut && w.used >= 3) memcpy(out + w.used - 3, "...", 3);
  return int(w.used);
}

// The program an EXEC line starts, as its file name: the first word of the command line (or its
// quoted path) without the folders.
static void ProgramWord(const char* command, char* out, size_t size) {
  while (*command == ' ') command++;
  const char* end;
  if (*command == '"') {
    command++;
    end = strchr(command, '"');
    if (!end) end = command + strlen(command);
  } else {
    end = command;
    while (*end && *end != ' ') end++;
  }
  const char* name = end;
  while (name > command && name[-1] != '\\' && name[-1] != '/') name--;
  FormatText(out, size, "%.*s", int(end - name), name);
}

// The button where the display names it: its code for the "Key%1" texts, a named button's name
// for the texts of named buttons (the remote and receiver would not be read from across a room).
static void NotRun(const ActivityEvent* e, OsdWords* out) {
  out->id = e->name[0] ? IDS_OSD_NAMED_NOT_RUN : IDS_OSD_NOT_RUN;
  if (e->name[0]) {
    FormatText(out->first, sizeof out->first, "%s", e->name);
  } else {
    FormatText(out->first, sizeof out->first, "%d", e->code);
  }
}

void OsdDescribe(const ActivityEvent* e, const char* osd, OsdLoadFn load, OsdWords* out) {
  out->id = IDS_OSD_OWN;
  out->first[0] = '\0';
  out->second[0] = '\0';
  if (e->result == kActivityNoEntry) {
    NotRun(e, out);
    out->id = e->name[0] ? IDS_OSD_NAMED_NO_ENTRY : IDS_OSD_NO_ENTRY;
    FormatText(out->second, sizeof out->second, "%s", e->program[0] ? e->program : e->title);
    return;
  }
  if (e->result == kActivityTooLong || e->result == kActivityNoKeyword) {
    NotRun(e, out);
    return;
  }
  if (osd && osd[0]) {
    FormatText(out->first, sizeof out->first, "%s", osd);
    return;
  }
  const char* argument;
  switch (ActionSplitLine(e->line, &argument)) {
    case kActionKeyboard:
      out->id = IDS_OSD_KEYS;
      OsdKeysText(argument, load, out->first, sizeof out->first);
      if (!out->first[0] && e->name[0]) FormatText(out->first, sizeof out->first, "%s", e->name);
      if (!out->first[0]) FormatText(out->first, sizeof out->first, "Key%d", e->code);
      return;
    case kActionExec:
      out->id = e->result == kActivityNotStarted ? IDS_OSD_NOT_STARTED : IDS_OSD_STARTED;
      ProgramWord(argument, out->first, sizeof out->first);
      return;
    case kActionClose:
      out->id = IDS_OSD_CLOSE;
      return;
    case kActionCommand:
      out->id = IDS_OSD_COMMAND;
      FormatText(out->first, sizeof out->first, "%u", unsigned(atol(argument)) & 0xFFFFu);
      return;
    default:
      NotRun(e, out);
      return;
  }
}
