// CompressorObject: not published yet.
