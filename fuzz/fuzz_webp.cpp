// Fuzz target for the WEBP decoder.
#define FUZZ_EXTENSION "webp"
#include "fuzz_decoder.h"
