// When to try the receiver's port again after its adapter went away. Pure code.
#pragma once

// Pause before reopen attempt `attempt` (0 = the first one after the port was lost), in ms:
// short at first, so a brief glitch costs little, then one attempt a second for as long as the
// adapter stays away.
int RetryDelayMs(int attempt);
