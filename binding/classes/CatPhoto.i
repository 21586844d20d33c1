%{
#include "graphics/CatPhoto.h"
%}
class CatPhoto : public od::Graphic {
public:
  CatPhoto(int left, int bottom, int width, int height);
  virtual ~CatPhoto();
};

// The same object handed to the host as a plain widget, not owned by this Lua value.
%extend CatPhoto {
  od::Graphic *asGraphic() { return $self; }
}
