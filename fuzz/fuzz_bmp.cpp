// Fuzz target for the BMP decoder.
#define FUZZ_EXTENSION "bmp"
#include "fuzz_decoder.h"
