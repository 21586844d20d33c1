// CatPhoto: not published yet.
