// Snare: not published yet.
