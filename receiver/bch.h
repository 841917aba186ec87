// The (15,7) double-error-correcting BCH code that protects the receiver's packets.
// Pure code: no platform calls, also built natively for the sanitizer and fuzz runs.
#pragma once
#include <stdint.h>

// Check byte of 7-bit data x: remainder of x * x^8 divided by the generator 0x1D1.
extern const uint8_t kBchCheckTable[128];
// Syndrome -> mask of the data bits to flip; 0xFF means reject (three or more errors).
extern const uint8_t kBchCorrectionTable[256];

// Decodes a received (check byte, data byte) pair; bit 7 of data is ignored.
// Returns the corrected key code 0..127, or -1 when the packet is rejected.
int BchDecode(uint8_t check, uint8_t data);
