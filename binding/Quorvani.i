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

// Classes in registration order.
%include "classes/BitCrush.i"
%include "classes/SoftClip.i"
%include "classes/BandSpreader.i"
%include "classes/CompressorObject.i"
%include "classes/Exciter.i"
%include "classes/FuzzBox.i"
%include "classes/Lofi.i"
%include "classes/Grotesque.i"
%include "classes/Shaper.i"
%include "classes/WetDryFade.i"
%include "classes/WetDryUnit.i"
%include "classes/Comb.i"
%include "classes/Flanger.i"
%include "classes/Freeze.i"
%include "classes/Leslie.i"
%include "classes/MorphoHead.i"
%include "classes/PitchShifter.i"
%include "classes/Pluck.i"
%include "classes/ReverseDelay.i"
%include "classes/TapDelay.i"
%include "classes/TapDelayStereoMixer.i"
%include "classes/Unison.i"
%include "classes/Kick.i"
%include "classes/Snare.i"
%include "classes/HiHat.i"
%include "classes/Tom.i"
%include "classes/Cowbell.i"
%include "classes/Cymbal.i"
%include "classes/CatPhoto.i"
