// BandSpreader: not published yet.
