// The key path as one piece: the receiver in normal mode and the dispatch thread that acts on its
// keys. Start-up, exit and the setup dialog start and stop it; the test dialog runs the receiver
// alone.
#pragma once

// Stops what runs, starts the receiver on the profile's port, the dispatch thread, and the keyboard
// hook's following of the profile (the hook runs while the profile names a key of a USB remote).
// 0 (also while the receiver waits for a port that is not there yet), or -1 when the receiver does
// not run (no port configured, settings that cannot be read or written): the keys of USB remotes
// and Media Center buttons act all the same.
int KeyPathStart();
// Ends the hook, the dispatch thread (a running keyboard action is cut off at its next pause), then
// stops the receiver. Safe to call when nothing runs. Returns 0.
int KeyPathStop();
