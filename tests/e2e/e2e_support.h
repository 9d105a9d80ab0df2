// The shared end-to-end helpers, under the name the end-to-end tests include.
#pragma once

#include "support/e2e_support.h"
