// MorphoHead: not published yet.
