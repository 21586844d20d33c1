// WetDryUnit: not published yet.
