#include "receiver/lircline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The stream in reads of the sizes given (the rest in the last), and what comes out: "B REMOTE NAME
// REPEAT" for a button, "R COMMAND STATUS LINES DATA" for a reply.
static std::string Read(const std::string& stream, std::vector<size_t> cuts) {
  LircReader r;
  LircReaderReset(&r);
  std::string out;
  cuts.push_back(stream.size());
  for (size_t at = 0, i = 0; at < stream.size(); i++) {
    size_t end = std::min(stream.size(), at + cuts[i]), used;
    for (LircItem item; at < end; at += used) {
      if (!LircReaderFeed(&r, stream.data() + at, end - at, &used, &item)) continue;
      const LircReply& p = item.reply;
      out += (out.empty() ? "" : "|") +
             (item.kind == kLircButtonLine ? "B " + std::string(item.button.remote) + " " + item.button.name +
                                                 " " + std::to_string(item.button.repeat)
                                           : "R " + std::string(p.command) + " " + std::to_string(p.status) +
                                                 " " + std::to_string(p.lines) + " " + p.data);
    }
  }
  return out;
}

TEST(LircLine, Streams) {
  const std::string play = "0000000020df10ef 00 KEY_PLAY DEMO\n", up = "0000000020df20df 01 KEY_UP DEMO\n";
  const std::string button1025 = "0 0 KEY_A DEMO" + std::string(1011, ' ');  // a button if it were cut
  const std::string version = "BEGIN\nVERSION\nSUCCESS\nDATA\n1\n0.10.1\nEND\n";
  struct {
    const char* what;
    std::string stream;
    std::vector<size_t> cuts;
    const char* want;
  } rows[] = {
      {"", "0000000020df10ef 00 KEY_PLAY DEMO\n", {}, "B DEMO KEY_PLAY 0"},
      {"", "0000000020DF10EF 1A vol+ my-remote_2\r\n", {}, "B my-remote_2 vol+ 26"},
      {"", "1  ffffffff\tKEY_UP   DEMO  \n", {}, "B DEMO KEY_UP 4294967295"},
      {"", "0000000020df10ef 100000000 KEY_PLAY DEMO\n", {}, ""},  // a count past 32 bits
      {"", "0000000020df10ef 00 KEY.PLAY DEMO\n", {}, ""},         // a dot would split the profile's name
      {"", "0000000020df10ef 00 KEY_PLAY DEMO extra\n", {}, ""},
      {"a name of 64", "0 0 " + std::string(64, 'a') + " DEMO\n", {}, ""},
      {"a line cut in two", play + up, {10}, "B DEMO KEY_PLAY 0|B DEMO KEY_UP 1"},
      {"one byte a read", play, std::vector<size_t>(40, 1), "B DEMO KEY_PLAY 0"},
      {"a line over 1024 bytes, dropped whole", button1025 + "\n" + play, {600, 600}, "B DEMO KEY_PLAY 0"},
      {"a line of 1024 bytes", button1025.substr(0, 1024) + "\n", {}, "B DEMO KEY_A 0"},
      {"junk", "hello\n\n\x01\xff\n 0 0\nEND\n" + play, {}, "B DEMO KEY_PLAY 0"},
      {"lircd's reload notice", "BEGIN\nSIGHUP\nEND\n" + play, {}, "R SIGHUP -1 0 |B DEMO KEY_PLAY 0"},
      {"a reply cut inside, then a button",
       version + play,
       {7, 9, 3},
       "R VERSION 1 1 0.10.1\n|B DEMO KEY_PLAY 0"},
      {"data lines reading END or a button are data",
       "BEGIN\nLIST\nSUCCESS\nDATA\n2\nEND\n" + play + "END\n",
       {},
       "R LIST 1 2 END\n0000000020df10ef 00 KEY_PLAY DEMO\n"},
      {"an error",
       "BEGIN\nSEND_ONCE X Y\nERROR\nDATA\n1\nunknown remote\nEND\n",
       {},
       "R SEND_ONCE X Y 0 1 unknown remote\n"},
      {"a block that never ends is left at a line out of place",
       "BEGIN\nVERSION\n" + play + up,
       {},
       "B DEMO KEY_PLAY 0|B DEMO KEY_UP 1"},
      {"a count too large", "BEGIN\nLIST\nSUCCESS\nDATA\n100000\n" + play, {}, "B DEMO KEY_PLAY 0"},
      {"an overlong line inside a block",
       "BEGIN\nLIST\nSUCCESS\nDATA\n3\n" + button1025 + "\n" + play,
       {},
       "B DEMO KEY_PLAY 0"},
  };
  for (auto& row : rows) EXPECT_EQ(Read(row.stream, row.cuts), row.want) << row.what << row.stream;
}
