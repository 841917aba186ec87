// remotesim: plays the infrared receiver on a serial port, for trying the program and for tests
// without the hardware. Each key becomes the receiver's three-byte packet (b0, check byte, data
// byte), written at the pace of a 1200-baud line; options flip bits, add noise and vary the pauses.
// Usage: see kUsage below.
#include <windows.h>
#include <mmsystem.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "receiver/bch.h"

static const char kUsage[] =
    "usage: remotesim PORT --key N [--key N ...] [options]\n"
    "\n"
    "Sends the receiver's packet for each key to the serial port PORT (COM1, COM9, ...), at the\n"
    "pace of a 1200-baud line. A packet is three bytes: b0, the check byte, the key code.\n"
    "\n"
    "  --key N       key code 0..127; give it several times to send several keys in turn\n"
    "  --repeat N    send the keys N times over (default 1)\n"
    "  --gap MS      silence before each packet in ms (default 100; more than 50 starts a packet)\n"
    "  --flip MASK   bits flipped in every packet: the high byte is XORed into the check byte,\n"
    "                the low byte into the data byte. Up to two flipped bits are corrected by the\n"
    "                receiver's code, e.g. 0x0101; three are rejected, e.g. 0x0B00\n"
    "  --garbage N   N random bytes before each packet, then the gap again (fewer than 3 bytes\n"
    "                never form a packet; 3 or more may be taken for keys)\n"
    "  --b0 N        first byte of each packet (default 0x00; the receiver ignores it)\n"
    "  --byte-ms MS  time per byte in ms (default 8.33)\n"
    "  --hold MS     hold each key for MS ms: its packet again and again, as a receiver repeats it\n"
    "                while a button is held (with --every; the first packet after the gap)\n"
    "  --every MS    while holding, one packet every MS ms, start to start (default 110)\n"
    "\n"
    "Each packet sent is printed with the performance counter (in microseconds) when its last\n"
    "byte was written.\n"
    "Exit code: 0 sent, 1 the port could not be opened or written, 2 bad arguments.\n"
    "Example: remotesim COM9 --key 12 --repeat 3 --gap 200 --flip 0x0101 --garbage 2\n";

enum { kMaxKeys = 64, kExitOk = 0, kExitPort = 1, kExitUsage = 2 };

struct Options {
  const char* port;
  int keys[kMaxKeys];
  int keyCount;
  long repeat, gapMs, flip, garbage, b0, holdMs, everyMs;
  double byteMs;
};

// Parses a whole argument as a number (decimal or 0x hex) within [low, high]. Returns 0 or -1.
static int ParseNumber(const char* text, long low, long high, long* out) {
  char* end;
  long v = strtol(text, &end, 0);
  if (end == text || *end || v < low || v > high) return -1;
  *out = v;
  return 0;
}

static int ParseOptions(int argc, char** argv, Options* o) {
  memset(o, 0, sizeof *o);
  o->repeat = 1;
  o->gapMs = 100;
  o->everyMs = 110;
  o->byteMs = 1000.0 * 10 / 1200;  // start bit, 8 data bits, stop bit
  if (argv[1][0] == '-') {
    fprintf(stderr, "remotesim: the port comes first, e.g. COM9\n");
    return -1;
  }
  o->port = argv[1];
  for (int i = 2; i < argc; i += 2) {
    const char* name = argv[i];
    if (i + 1 >= argc) {
      fprintf(stderr, "remotesim: %s needs a value\n", name);
      return -1;
    }
    const char* value = argv[i + 1];
    long v;
    int r = 0;
    if (!strcmp(name, "--key")) {
      r = ParseNumber(value, 0, 127, &v);
      if (!r && o->keyCount == kMaxKeys) r = -1;
      if (!r) o->keys[o->keyCount++] = int(v);
    } else if (!strcmp(name, "--repeat")) {
      r = ParseNumber(value, 1, 100000, &o->repeat);
    } else if (!strcmp(name, "--gap")) {
      r = ParseNumber(value, 0, 60000, &o->gapMs);
    } else if (!strcmp(name, "--flip")) {
      r = ParseNumber(value, 0, 0xFFFF, &o->flip);
    } else if (!strcmp(name, "--garbage")) {
      r = ParseNumber(value, 0, 1000, &o->garbage);
    } else if (!strcmp(name, "--b0")) {
      r = ParseNumber(value, 0, 255, &o->b0);
    } else if (!strcmp(name, "--hold")) {
      r = ParseNumber(value, 0, 600000, &o->holdMs);
    } else if (!strcmp(name, "--every")) {
      r = ParseNumber(value, 30, 60000, &o->everyMs);
    } else if (!strcmp(name, "--byte-ms")) {
      char* end;
      o->byteMs = strtod(value, &end);
      if (end == value || *end || !(o->byteMs >= 0 && o->byteMs <= 1000)) r = -1;
    } else {
      fprintf(stderr, "remotesim: unknown option %s\n", name);
      return -1;
    }
    if (r) {
      fprintf(stderr, "remotesim: bad value for %s: %s\n", name, value);
      return -1;
    }
  }
  if (o->keyCount == 0) {
    fprintf(stderr, "remotesim: no --key given\n");
    return -1;
  }
  return 0;
}

static HANDLE OpenLine(const char* port) {
  char name[MAX_PATH];
  snprintf(name, sizeof name, strncmp(port, "\\\\", 2) ? "\\\\.\\%s" : "%s", port);
  HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return h;
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(h, &dcb)) {
    CloseHandle(h);
    return INVALID_HANDLE_VALUE;
  }
  dcb.BaudRate = 1200;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  SetCommState(h, &dcb);  // a pseudo-terminal or an adapter that refuses is still written to
  return h;
}

static double NowMs() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return 1000.0 * double(c.QuadPart) / double(f.QuadPart);
}

static void WaitUntil(double due) {
  double left = due - NowMs();
  if (left > 0) Sleep(DWORD(left + 0.5));
}

// Writes bytes one at a time, each due byteMs after the one before. Returns 0 or -1; *lastMs is
// the clock (NowMs) just after the last byte was handed to the port.
static int SendBytes(HANDLE line, const uint8_t* bytes, int n, double byteMs, double* lastMs = nullptr) {
  double due = NowMs();
  for (int i = 0; i < n; i++) {
    WaitUntil(due);
    DWORD written = 0;
    if (!WriteFile(line, &bytes[i], 1, &written, nullptr) || written != 1) return -1;
    if (lastMs) *lastMs = NowMs();
    due += byteMs;
  }
  WaitUntil(due);  // the last byte's time on the line
  return 0;
}

static uint8_t NextGarbage() {
  static uint32_t state = 2463534242u;  // xorshift32: the same noise on every run
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return uint8_t(state);
}

int main(int argc, char** argv) {
  if (argc == 2 && (!strcmp(argv[1], "--help") || !strcmp(argv[1], "-h"))) {
    fputs(kUsage, stdout);
    return kExitOk;
  }
  if (argc < 2) {
    fputs(kUsage, stderr);
    return kExitUsage;
  }
  Options o;
  if (ParseOptions(argc, argv, &o)) {
    fputs("remotesim --help shows the options\n", stderr);
    return kExitUsage;
  }
  HANDLE line = OpenLine(o.port);
  if (line == INVALID_HANDLE_VALUE) {
    fprintf(stderr, "remotesim: cannot open %s as a serial port (error %lu)\n", o.port, GetLastError());
    return kExitPort;
  }
  timeBeginPeriod(1);
  int result = kExitOk;
  for (long round = 0; round < o.repeat && result == kExitOk; round++) {
    for (int k = 0; k < o.keyCount && result == kExitOk; k++) {
      Sleep(DWORD(o.gapMs));
      if (o.garbage > 0) {
        uint8_t noise[1000];
        for (long i = 0; i < o.garbage; i++) noise[i] = NextGarbage();
        if (SendBytes(line, noise, int(o.garbage), o.byteMs)) result = kExitPort;
        Sleep(DWORD(o.gapMs));
      }
      int key = o.keys[k];
      uint8_t packet[3] = {uint8_t(o.b0), uint8_t(kBchCheckTable[key] ^ (o.flip >> 8)),
                           uint8_t(key ^ o.flip)};
      // Held: the same packet every everyMs for holdMs; else once.
      double start = NowMs();
      for (long n = 0; result == kExitOk && (n == 0 || n * o.everyMs <= o.holdMs); n++) {
        WaitUntil(start + double(n * o.everyMs));
        double sentMs = 0;
        if (SendBytes(line, packet, 3, o.byteMs, &sentMs)) result = kExitPort;
        // The time (performance counter, microseconds) lets a benchmark measure the key's latency.
        if (result == kExitOk)
          printf("key %3d: %02X %02X %02X at %.0f\n", key, packet[0], packet[1], packet[2], sentMs * 1000);
      }
    }
  }
  if (result != kExitOk)
    fprintf(stderr, "remotesim: writing to %s failed (error %lu)\n", o.port, GetLastError());
  fflush(stdout);
  timeEndPeriod(1);
  CloseHandle(line);
  return result;
}
