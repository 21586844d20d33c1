// Cymbal: not published yet.
