// FuzzBox: not published yet.
