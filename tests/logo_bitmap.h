// The 24-bit picture builders, for the tests that include them under this name.
#pragma once

#include "support/bmp_builder.h"
