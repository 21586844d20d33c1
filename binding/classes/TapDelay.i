// TapDelay: not published yet.
