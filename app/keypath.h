// The key path as one piece: the receiver in normal mode and the dispatch thread that acts on its
// keys. Start-up, exit and the setup dialog start and stop it; the test dialog runs the receiver
// alone.
#pragma once

// Stops what runs, starts the receiver on the profile's port and the dispatch thread. 0 (also
// while the receiver waits for a port that is not there yet), or -1 when the receiver does not
// run (no port configured, settings that cannot be read or written).
int KeyPathStart();
// Ends the dispatch thread (a running keyboard action is cut off at its next pause), then stops
// the receiver. Safe to call when nothing runs. Returns 0.
int KeyPathStop();
