// Wraps a class the Faust compiler generated from one of bench/faust/*.dsp and registers it
// as the peer of the unit its "qvz_unit" declaration names.
#include "FaustPeer.h"

<<includeIntrinsic>>

<<includeclass>>

static qvzbench::RegisterFaustPeer<FAUSTCLASS> qvzFaustPeer;
