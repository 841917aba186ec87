#include "receiver/lircaddress.h"

#include <gtest/gtest.h>

#include <string>

TEST(LircAddress, Entries) {
  const std::string host255(255, 'a');
  struct {
    std::string text;
    int result;
    const char* want;  // "HOST PORT" when kLircAddressOk
  } rows[] = {
      {"raspberrypi", kLircAddressOk, "raspberrypi 8765"},
      {"  nas.local:1 \r", kLircAddressOk, "nas.local 1"},
      {"my_host-2:65535", kLircAddressOk, "my_host-2 65535"},
      {"[fe80::1%4]:9000", kLircAddressOk, "fe80::1%4 9000"},
      {host255, kLircAddressOk, ""},
      {"   ", kLircAddressEmpty, ""},
      {host255 + "a", kLircAddressBadHost, ""},
      {":8765", kLircAddressBadHost, ""},
      {"host name", kLircAddressBadHost, ""},
      {"host:", kLircAddressBadPort, ""},
      {"my_host-2:65536", kLircAddressBadPort, ""},
      {"host:+80", kLircAddressBadPort, ""},
      {"host:8765:1", kLircAddressBadPort, ""},
  };
  for (auto& row : rows) {
    char host[kLircHostMax] = "unset";
    int port = -7;
    EXPECT_EQ(LircParseAddress(row.text.c_str(), host, sizeof host, &port), row.result) << row.text;
    std::string got = std::string(host) + " " + std::to_string(port);
    const char* want = row.result != kLircAddressOk ? "unset -7" : *row.want ? row.want : got.c_str();
    EXPECT_EQ(got, want) << row.text;
  }
}
