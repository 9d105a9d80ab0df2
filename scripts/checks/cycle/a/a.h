// Folders a and b include each other; c only includes a.
#pragma once
#include "b/b.h"
