// Cowbell: not published yet.
