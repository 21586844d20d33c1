// Lofi: not published yet.
