// Fuzz target for the HEIF decoder.
#define FUZZ_EXTENSION "heic"
#include "fuzz_decoder.h"
