// The library's Lua module. Each class publishes exactly its constructor and extra
// methods; everything else comes from its host base through the host module `od`.
%module qvz_libQuorvani

%include "conventions.i"

%import(module="od") "od/ReferenceCounted.h"
%import(module="od") "od/Port.h"
%import(module="od") "od/Parameter.h"
%import(module="od") "od/Object.h"
%include "host_imports.i"

// Soft-clip curve codes (SoftClip "Algo", Exciter "Mode") and comb sign codes (Comb "Type").
%constant int SC_TANH = 4;
%constant int SC_SIN = 5;
%constant int SC_EXP = 6;
%constant int SC_2STG = 7;
%constant int SC_CUBIC = 8;
%constant int SC_RECIP = 9;
%constant int POS = 1;
%constant int NEG = 3;

// Every class: one binding file each in binding/classes, all included (the list is made
// when configuring).
%include "binding_classes.i"
