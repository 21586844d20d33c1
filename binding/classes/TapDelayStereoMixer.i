// TapDelayStereoMixer: not published yet.
