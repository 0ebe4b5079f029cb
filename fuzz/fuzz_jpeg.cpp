// Fuzz target for the JPEG decoder.
#define FUZZ_EXTENSION "jpeg"
#include "fuzz_decoder.h"
