// Reading a LIRC or WinLIRC server's text stream: bytes in, whole lines out, each line read as a
// button line, part of a reply block (BEGIN ... END), or nothing. Pure code, fixed buffers.
#pragma once
#include <stddef.h>

enum {
  kLircLineMax = 1024,       // longer lines are dropped whole
  kLircNameMax = 64,         // a remote or button name, terminator included; longer ones reject the line
  kLircReplyLinesMax = 256,  // a reply announcing more data lines is not a reply (the block is left)
  kLircReplyDataMax = 1024,  // a reply's data lines kept, joined by '\n' (cut at a line's end)
};

// `<code> <repeat> <button> <remote>`: the repeat count is hexadecimal, 0 begins a press.
struct LircButton {
  char name[kLircNameMax];
  char remote[kLircNameMax];
  unsigned repeat;
};

// A reply block: BEGIN, the command it answers, SUCCESS or ERROR, DATA with a count and that many
// lines, END. lircd also sends BEGIN / SIGHUP / END, unasked, after it read its configuration again.
struct LircReply {
  char command[kLircNameMax * 2];  // the command line as the server repeats it ("VERSION", "SIGHUP")
  int status;                      // 1 SUCCESS, 0 ERROR, -1 neither given
  int lines;                       // data lines the server sent
  int kept;                        // of them, those in data
  char data[kLircReplyDataMax];    // the kept lines, each ended by '\n'
};

enum LircItemKind { kLircNothing = 0, kLircButtonLine = 1, kLircReplyBlock = 2 };
struct LircItem {
  int kind;
  LircButton button;  // kLircButtonLine
  LircReply reply;    // kLircReplyBlock
};

// Parses one line (without its newline; a trailing '\r' and blanks are allowed) as a button line.
// NAME and REMOTE are letters, digits, '_', '-' and '+'. 0 with *out filled, -1 for anything else.
int LircParseButton(const char* line, size_t length, LircButton* out);

struct LircReader {
  char line[kLircLineMax];
  size_t length;
  bool dropping;  // inside a line that grew over kLircLineMax: skipped up to its newline
  int block;      // where in a reply block the next line goes (0: outside)
  int dataLeft;   // data lines still to come
  LircReply reply;
};
void LircReaderReset(LircReader* r);

// Takes bytes from data[0, size) up to and including the first newline that completes a line that
// means something, and sets *used to the bytes taken. 1 with that line's item in *out (a button line,
// or the END of a reply block); 0 when every byte was taken without one (*out untouched).
int LircReaderFeed(LircReader* r, const char* data, size_t size, size_t* used, LircItem* out);
