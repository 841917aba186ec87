#include "receiver/lircline.h"

#include <gtest/gtest.h>

#include <string>

// Feeds the stream in reads cut at the given sizes (the rest in one read) and lists what came out:
// "B remote name repeat" for a button, "R command status lines data" for a reply.
static std::string Read(const std::string& stream, std::initializer_list<size_t> cuts = {}) {
  LircReader r;
  LircReaderReset(&r);
  std::string out;
  size_t at = 0;
  auto cut = cuts.begin();
  while (at < stream.size()) {
    size_t n = cut != cuts.end() ? *cut++ : stream.size() - at;
    if (n > stream.size() - at) n = stream.size() - at;
    size_t fed = 0;
    while (fed < n) {
      size_t used;
      LircItem item;
      int got = LircReaderFeed(&r, stream.data() + at + fed, n - fed, &used, &item);
      EXPECT_GT(used, 0u);
      EXPECT_LE(used, n - fed);
      fed += used;
      if (!got) continue;
      if (!out.empty()) out += "|";
      if (item.kind == kLircButtonLine) {
        out += "B " + std::string(item.button.remote) + " " + item.button.name + " " +
               std::to_string(item.button.repeat);
      } else {
        out += "R " + std::string(item.reply.command) + " " + std::to_string(item.reply.status) + " " +
               std::to_string(item.reply.lines) + " " + item.reply.data;
      }
    }
    at += n;
  }
  return out;
}

TEST(LircLine, ButtonLines) {
  struct {
    const char* line;
    int result;
    const char* remote;
    const char* name;
    unsigned repeat;
  } rows[] = {
      {"0000000020df10ef 00 KEY_PLAY DEMO", 0, "DEMO", "KEY_PLAY", 0},
      {"0000000020df10ef 1a KEY_PLAY DEMO", 0, "DEMO", "KEY_PLAY", 26},
      {"0000000020DF10EF 0A vol+ my-remote_2\r", 0, "my-remote_2", "vol+", 10},
      {"1  ffffffff\tKEY_UP   DEMO  ", 0, "DEMO", "KEY_UP", 0xffffffffu},
      {"0000000020df10ef 100000000 KEY_PLAY DEMO", -1, "", "", 0},  // a count past 32 bits
      {"0000000020df10ef 0g KEY_PLAY DEMO", -1, "", "", 0},
      {"00000000zzdf10ef 00 KEY_PLAY DEMO", -1, "", "", 0},
      {"0000000020df10ef 00 KEY.PLAY DEMO", -1, "", "", 0},  // a dot would split the profile's name
      {"0000000020df10ef 00 KEY_PLAY DE/MO", -1, "", "", 0},
      {"0000000020df10ef 00 KEY_PLAY", -1, "", "", 0},
      {"0000000020df10ef 00 KEY_PLAY DEMO extra", -1, "", "", 0},
      {"", -1, "", "", 0},
      {"BEGIN", -1, "", "", 0},
      {"0 0 aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa DEMO", 0, "DEMO",
       "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", 0},  // 63: fits
      {"0 0 aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa DEMO", -1, "", "",
       0},  // 64: too long
  };
  for (auto& row : rows) {
    LircButton b;
    std::string line = row.line;
    ASSERT_EQ(LircParseButton(line.data(), line.size(), &b), row.result) << row.line;
    if (row.result < 0) continue;
    EXPECT_STREQ(b.remote, row.remote) << row.line;
    EXPECT_STREQ(b.name, row.name) << row.line;
    EXPECT_EQ(b.repeat, row.repeat) << row.line;
  }
}

TEST(LircLine, Streams) {
  const std::string play = "0000000020df10ef 00 KEY_PLAY DEMO\n";
  const std::string up1 = "0000000020df20df 01 KEY_UP DEMO\n";
  const std::string longLine = std::string(1025, 'x');
  const std::string longButton = "0 0 KEY_A DEMO" + std::string(1011, ' ');  // 1025 bytes, a button if cut
  const std::string exact = "0 0 KEY_A DEMO" + std::string(1010, ' ');       // 1024 bytes: kept
  struct {
    const char* what;
    std::string stream;
    std::initializer_list<size_t> cuts;
    const char* want;
  } rows[] = {
      {"one line", play, {}, "B DEMO KEY_PLAY 0"},
      {"a line cut in two", play + up1, {10}, "B DEMO KEY_PLAY 0|B DEMO KEY_UP 1"},
      {"one byte a read",
       play + up1,
       {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
        1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
       "B DEMO KEY_PLAY 0|B DEMO KEY_UP 1"},
      {"no newline yet", "0000000020df10ef 00 KEY_PLAY DEMO", {}, ""},
      {"windows line ends", "0000000020df10ef 00 KEY_PLAY DEMO\r\n", {}, "B DEMO KEY_PLAY 0"},
      {"a line over 1024 bytes, dropped whole", longButton + "\n" + play, {600, 600}, "B DEMO KEY_PLAY 0"},
      {"a line of 1024 bytes", exact + "\n", {}, "B DEMO KEY_A 0"},
      {"an overlong line with no end yet swallows what follows on it", longLine + play, {}, ""},
      {"junk", "hello\n\n\x01\x02\xff\n 0 0\n" + play, {}, "B DEMO KEY_PLAY 0"},
      {"sighup", "BEGIN\nSIGHUP\nEND\n" + play, {}, "R SIGHUP -1 0 |B DEMO KEY_PLAY 0"},
      {"version, cut inside",
       "BEGIN\nVERSION\nSUCCESS\nDATA\n1\n0.10.1\nEND\n",
       {7, 9, 3},
       "R VERSION 1 1 0.10.1\n"},
      {"list", "BEGIN\nLIST\nSUCCESS\nDATA\n2\nDEMO\nTV\nEND\n", {}, "R LIST 1 2 DEMO\nTV\n"},
      {"error",
       "BEGIN\nSEND_ONCE X Y\nERROR\nDATA\n1\nunknown remote: \"X\"\nEND\n",
       {},
       "R SEND_ONCE X Y 0 1 unknown remote: \"X\"\n"},
      {"a data line that reads END or a button is data",
       "BEGIN\nLIST\nSUCCESS\nDATA\n2\nEND\n" + play + "END\n",
       {},
       "R LIST 1 2 END\n0000000020df10ef 00 KEY_PLAY DEMO\n"},
      {"a button between two replies",
       "BEGIN\nVERSION\nSUCCESS\nDATA\n1\n0.10.1\nEND\n" + play + "BEGIN\nLIST\nEND\n",
       {},
       "R VERSION 1 1 0.10.1\n|B DEMO KEY_PLAY 0|R LIST -1 0 "},
      {"a block that never ends leaves at a line out of place",
       "BEGIN\nVERSION\n" + play + up1,
       {},
       "B DEMO KEY_PLAY 0|B DEMO KEY_UP 1"},
      {"a count too large leaves the block",
       "BEGIN\nLIST\nSUCCESS\nDATA\n100000\n" + play,
       {},
       "B DEMO KEY_PLAY 0"},
      {"a count that is no number", "BEGIN\nLIST\nSUCCESS\nDATA\n2x\n" + play, {}, "B DEMO KEY_PLAY 0"},
      {"an overlong line inside a block leaves it",
       "BEGIN\nLIST\nSUCCESS\nDATA\n3\n" + longLine + "\n" + play,
       {},
       "B DEMO KEY_PLAY 0"},
      {"BEGIN at once END", "BEGIN\nEND\n" + play, {}, "B DEMO KEY_PLAY 0"},
  };
  for (auto& row : rows) EXPECT_EQ(Read(row.stream, row.cuts), row.want) << row.what;
}

// A reply with more data than its buffer keeps whole lines only and counts them all.
TEST(LircLine, LongReplyKeepsWholeLines) {
  std::string stream = "BEGIN\nLIST\nSUCCESS\nDATA\n200\n";
  for (int i = 0; i < 200; i++) stream += "remote_number_" + std::to_string(i) + "\n";
  LircReader r;
  LircReaderReset(&r);
  size_t used;
  LircItem item;
  ASSERT_EQ(LircReaderFeed(&r, (stream + "END\n").data(), stream.size() + 4, &used, &item), 1);
  EXPECT_EQ(item.reply.lines, 200);
  EXPECT_GT(item.reply.kept, 10);
  EXPECT_LT(item.reply.kept, 200);
  std::string data = item.reply.data;
  EXPECT_EQ(data.back(), '\n');
  EXPECT_EQ(std::count(data.begin(), data.end(), '\n'), item.reply.kept);
}
