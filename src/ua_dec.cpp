// Raw upper-air bulletins to reports: the bulletin reader cuts a feed into
// single report parts, the decoders read the TEMP and PILOT code groups of
// each part into the station's report record.
#include "vok.h"
#include "vokupa.h"

// ================================================================ bulletin reader

// ================================================================ decoders
