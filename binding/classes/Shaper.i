// Shaper: not published yet.
