// Keeps the support library non-empty; the fakes are header-only.
#include "fakes.h"
