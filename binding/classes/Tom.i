// Tom: not published yet.
