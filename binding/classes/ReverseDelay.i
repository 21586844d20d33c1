// ReverseDelay: not published yet.
