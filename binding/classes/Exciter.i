// Exciter: not published yet.
