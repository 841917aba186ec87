// The server's stream is lines, but a read returns whatever bytes have come: half a line, three
// lines and a half, a reply block cut anywhere. So the reader keeps the unfinished line in a fixed
// buffer and looks at nothing before its newline has come. A line longer than the buffer is not
// cut into pieces that might each look like a button; it is dropped whole, and reading starts
// again after its newline.
//
// Reply blocks are followed line by line with a small state machine, never by position inside one
// read: BEGIN, the command, then SUCCESS / ERROR / DATA n / n lines, END. A line that does not fit
// where it comes (a server that never ends its block, a count past kLircReplyLinesMax) leaves the
// block, and the line is read as if no block had begun, so a broken reply cannot swallow buttons
// for good. Data lines are counted exactly, so a remote or a version named "END" does no harm.
#include "receiver/lircline.h"

#include <string.h>

enum { kOutside = 0, kCommand, kStatus, kCount, kData };

static bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
         c == '+';
}

static bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

static bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

// The line without trailing blanks.
static size_t Trimmed(const char* line, size_t length) {
  while (length && IsBlank(line[length - 1])) length--;
  return length;
}

static bool LineIs(const char* line, size_t length, const char* word) {
  length = Trimmed(line, length);
  return length == strlen(word) && memcmp(line, word, length) == 0;
}

int LircParseButton(const char* line, size_t length, LircButton* out) {
  length = Trimmed(line, length);
  const char* field[4];
  size_t size[4];
  int fields = 0;
  size_t i = 0;
  while (i < length) {
    if (IsBlank(line[i])) {
      i++;
      continue;
    }
    if (fields == 4) return -1;
    field[fields] = line + i;
    while (i < length && !IsBlank(line[i])) i++;
    size[fields] = size_t(line + i - field[fields]);
    fields++;
  }
  if (fields != 4) return -1;
  if (size[0] > 32 || size[1] > 8) return -1;
  for (size_t k = 0; k < size[0]; k++) {
    if (!IsHex(field[0][k])) return -1;
  }
  unsigned repeat = 0;
  for (size_t k = 0; k < size[1]; k++) {
    char c = field[1][k];
    if (!IsHex(c)) return -1;
    repeat = repeat * 16 + unsigned(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
  }
  for (int f = 2; f < 4; f++) {
    if (size[f] >= kLircNameMax) return -1;
    for (size_t k = 0; k < size[f]; k++) {
      if (!IsNameChar(field[f][k])) return -1;
    }
  }
  memcpy(out->name, field[2], size[2]);
  out->name[size[2]] = 0;
  memcpy(out->remote, field[3], size[3]);
  out->remote[size[3]] = 0;
  out->repeat = repeat;
  return 0;
}

void LircReaderReset(LircReader* r) {
  memset(r, 0, sizeof *r);
}

static void ReplyBegin(LircReader* r) {
  memset(&r->reply, 0, sizeof r->reply);
  r->reply.status = -1;
  r->block = kCommand;
}

// A line inside a block. 1 when it belongs there (and *done when it was the END), 0 when it left
// the block and must be read as an outside line.
static int ReplyLine(LircReader* r, const char* line, size_t length, bool* done) {
  LircReply* reply = &r->reply;
  *done = false;
  switch (r->block) {
    case kCommand:
      length = Trimmed(line, length);
      if (length == 0 || length >= sizeof reply->command || LineIs(line, length, "END")) break;
      memcpy(reply->command, line, length);
      reply->command[length] = 0;
      r->block = kStatus;
      return 1;
    case kStatus:
      if (reply->status < 0 && LineIs(line, length, "SUCCESS")) {
        reply->status = 1;
        return 1;
      }
      if (reply->status < 0 && LineIs(line, length, "ERROR")) {
        reply->status = 0;
        return 1;
      }
      if (LineIs(line, length, "DATA")) {
        r->block = kCount;
        return 1;
      }
      if (LineIs(line, length, "END")) {
        *done = true;
        return 1;
      }
      break;
    case kCount: {
      length = Trimmed(line, length);
      int n = length && length <= 4 ? 0 : -1;
      for (size_t i = 0; n >= 0 && i < length; i++)
        n = line[i] >= '0' && line[i] <= '9' ? n * 10 + line[i] - '0' : -1;
      if (n < 0 || n > kLircReplyLinesMax) break;
      r->dataLeft = n;
      r->block = n ? kData : kStatus;
      return 1;
    }
    case kData: {
      length = Trimmed(line, length);
      size_t at = strlen(reply->data);
      if (at + length + 1 < sizeof reply->data) {
        memcpy(reply->data + at, line, length);
        reply->data[at + length] = '\n';
        reply->kept++;
      }
      reply->lines++;
      if (--r->dataLeft == 0) r->block = kStatus;
      return 1;
    }
  }
  r->block = kOutside;
  return 0;
}

// One whole line. 1 with *out filled when it means something.
static int ReaderLine(LircReader* r, const char* line, size_t length, LircItem* out) {
  if (r->block != kOutside) {
    bool done;
    if (ReplyLine(r, line, length, &done)) {
      if (!done) return 0;
      r->block = kOutside;
      out->kind = kLircReplyBlock;
      out->reply = r->reply;
      return 1;
    }
  }
  if (LineIs(line, length, "BEGIN")) {
    ReplyBegin(r);
    return 0;
  }
  if (LircParseButton(line, length, &out->button) < 0) return 0;
  out->kind = kLircButtonLine;
  return 1;
}

int LircReaderFeed(LircReader* r, const char* data, size_t size, size_t* used, LircItem* out) {
  for (size_t i = 0; i < size; i++) {
    char c = data[i];
    if (c != '\n') {
      if (r->dropping) continue;
      if (r->length == sizeof r->line) {
        r->dropping = true;
        r->length = 0;
        continue;
      }
      r->line[r->length++] = c;
      continue;
    }
    size_t length = r->length;
    bool dropped = r->dropping;
    r->length = 0;
    r->dropping = false;
    if (dropped) {
      // An overlong line is no reply line either: a block it came into is left.
      r->block = kOutside;
      continue;
    }
    if (ReaderLine(r, r->line, length, out)) {
      *used = i + 1;
      return 1;
    }
  }
  *used = size;
  return 0;
}
