// Comb: not published yet.
