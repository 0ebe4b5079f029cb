// Fuzz target for the PNG decoder.
#define FUZZ_EXTENSION "png"
#include "fuzz_decoder.h"
