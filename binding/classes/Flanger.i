// Flanger: not published yet.
