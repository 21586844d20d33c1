// Leslie: not published yet.
