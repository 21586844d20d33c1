// WetDryFade: not published yet.
