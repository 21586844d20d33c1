// Grotesque: not published yet.
