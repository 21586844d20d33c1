#include <od/Description.h>

// A widget: drawn on a frame buffer, no ports.
extern const od::ClassDescription CatPhotoDescription = {
    "CatPhoto",
    od::Family::Display,
    "an 84 x 64 picture of a cat's head, centred in its rectangle",
    0,
    "",
    "0, 0, 128, 64",
    "the arguments are the rectangle: left, bottom, width, height in pixels",
    true,
    {},
};
