// Fuzz target for the TIFF decoder.
#define FUZZ_EXTENSION "tiff"
#include "fuzz_decoder.h"
