// Keeps the Qt platform library non-empty while it has no sources of its own.
