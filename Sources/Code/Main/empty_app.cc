// Keeps the library non-empty.
