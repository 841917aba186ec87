// The key path as one piece: the receivers in normal mode (the serial one on the profile's port,
// the network one for its lirc= server; either, both or none) and the dispatch thread that acts on
// their keys. Start-up, exit and the setup dialog start and stop it; the test dialog runs the
// receivers alone.
#pragma once

// Stops what runs, then starts each receiver the profile sets up, the dispatch thread, and the
// keyboard hook's following of the profile (the hook runs while the profile names a key of a USB
// remote; the dispatch thread runs with no receiver too, for those keys and Media Center buttons).
// 0 when the setup works: a receiver runs and none configured failed (a port that is not there yet
// is waited for, a server not there yet is tried again). -1 when the user should be asked (no
// receiver set up, or a configured one that cannot run: a port's settings that cannot be read or
// written, a lirc= entry that is not HOST[:PORT]); what could start runs all the same.
int KeyPathStart();
// Ends the hook, the dispatch thread (a running keyboard action is cut off at its next pause), then
// stops the receivers. Safe to call when nothing runs. Returns 0.
int KeyPathStop();
