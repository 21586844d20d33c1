// Host headers of further base classes, imported so the library's classes keep their host bases.
%import(module="od") "od/Unit.h"
%import(module="od") "od/CustomUnit.h"
%import(module="od") "od/Head.h"
%import(module="od") "od/Graphic.h"
