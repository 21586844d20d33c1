// PitchShifter: not published yet.
