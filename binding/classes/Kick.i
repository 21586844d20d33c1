// Kick: not published yet.
