#include "receiver/lircaddress.h"

#include <gtest/gtest.h>

TEST(LircAddress, Entries) {
  struct {
    const char* text;
    int result;
    const char* host;
    int port;
  } rows[] = {
      {"raspberrypi", kLircAddressOk, "raspberrypi", 8765},
      {"192.168.1.20:8766", kLircAddressOk, "192.168.1.20", 8766},
      {"  nas.local:1 \r", kLircAddressOk, "nas.local", 1},
      {"my_host-2:65535", kLircAddressOk, "my_host-2", 65535},
      {"[::1]", kLircAddressOk, "::1", 8765},
      {"[fe80::1%4]:9000", kLircAddressOk, "fe80::1%4", 9000},
      {"", kLircAddressEmpty, "", 0},
      {"   ", kLircAddressEmpty, "", 0},
      {":8765", kLircAddressBadHost, "", 0},
      {"host name", kLircAddressBadHost, "", 0},
      {"::1", kLircAddressBadHost, "", 0},
      {"[::1", kLircAddressBadHost, "", 0},
      {"[::1]x", kLircAddressBadHost, "", 0},
      {"[]:80", kLircAddressBadHost, "", 0},
      {"host:", kLircAddressBadPort, "", 0},
      {"host:0", kLircAddressBadPort, "", 0},
      {"host:65536", kLircAddressBadPort, "", 0},
      {"host:100000", kLircAddressBadPort, "", 0},
      {"host:-1", kLircAddressBadPort, "", 0},
      {"host:+80", kLircAddressBadPort, "", 0},
      {"host:80x", kLircAddressBadPort, "", 0},
      {"host:8765:1", kLircAddressBadPort, "", 0},
  };
  for (auto& row : rows) {
    char host[kLircHostMax] = "unset";
    int port = -7;
    EXPECT_EQ(LircParseAddress(row.text, host, sizeof host, &port), row.result) << row.text;
    EXPECT_STREQ(host, row.result == kLircAddressOk ? row.host : "unset") << row.text;
    EXPECT_EQ(port, row.result == kLircAddressOk ? row.port : -7) << row.text;
  }
  std::string longHost(kLircHostMax, 'a');
  char host[kLircHostMax];
  int port;
  EXPECT_EQ(LircParseAddress(longHost.c_str(), host, sizeof host, &port), kLircAddressBadHost);
  EXPECT_EQ(LircParseAddress(longHost.substr(1).c_str(), host, sizeof host, &port), kLircAddressOk);
}
