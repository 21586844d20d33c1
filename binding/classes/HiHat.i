// HiHat: not published yet.
