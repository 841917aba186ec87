#include "receiver/retry.h"

int RetryDelayMs(int attempt) {
  static const int kDelays[] = {200, 500};
  if (attempt < 0) attempt = 0;
  if (attempt < int(sizeof kDelays / sizeof kDelays[0])) return kDelays[attempt];
  return 1000;
}
