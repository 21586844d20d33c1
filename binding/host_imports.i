// Host headers of further base classes (od::CustomUnit, od::Head, od::Graphic) are imported here as they land.
%import(module="od") "od/Graphic.h"
