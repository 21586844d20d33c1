// Freeze: not published yet.
