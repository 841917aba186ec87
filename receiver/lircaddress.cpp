#include "receiver/lircaddress.h"

#include <string.h>

static bool IsHostChar(char c, bool bracketed) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  if (bracketed) return c == ':' || c == '.' || c == '%';
  return c == '.' || c == '-' || c == '_';
}

int LircParseAddress(const char* text, char* host, size_t hostSize, int* port) {
  size_t begin = 0, end = strlen(text);
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) begin++;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r')) end--;
  if (begin == end) return kLircAddressEmpty;

  const char* h = text + begin;
  size_t hostLength;
  const char* rest;  // after the host: empty, or ":PORT"
  bool bracketed = *h == '[';
  if (bracketed) {
    const char* close = static_cast<const char*>(memchr(h, ']', end - begin));
    if (!close) return kLircAddressBadHost;
    h++;
    hostLength = size_t(close - h);
    rest = close + 1;
  } else {
    const char* colon = static_cast<const char*>(memchr(h, ':', end - begin));
    hostLength = colon ? size_t(colon - h) : end - begin;
    rest = h + hostLength;
  }
  if (hostLength == 0 || hostLength >= kLircHostMax || hostLength >= hostSize) return kLircAddressBadHost;
  for (size_t i = 0; i < hostLength; i++) {
    if (!IsHostChar(h[i], bracketed)) return kLircAddressBadHost;
  }

  int number = kLircDefaultPort;
  const char* stop = text + end;
  if (rest < stop) {
    if (*rest != ':') return bracketed ? kLircAddressBadHost : kLircAddressBadPort;
    rest++;
    if (rest == stop || stop - rest > 5) return kLircAddressBadPort;
    number = 0;
    for (; rest < stop; rest++) {
      if (*rest < '0' || *rest > '9') return kLircAddressBadPort;
      number = number * 10 + (*rest - '0');
    }
    if (number < 1 || number > 65535) return kLircAddressBadPort;
  }
  memcpy(host, h, hostLength);
  host[hostLength] = 0;
  *port = number;
  return kLircAddressOk;
}
