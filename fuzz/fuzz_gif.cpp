// Fuzz target for the GIF decoder.
#define FUZZ_EXTENSION "gif"
#include "fuzz_decoder.h"
