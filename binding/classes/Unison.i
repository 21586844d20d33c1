// Unison: not published yet.
