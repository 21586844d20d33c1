// Pluck: not published yet.
