// Keeps the pure library non-empty while parts of it are being written.
