// Left out with --except old_dialog.
#include "link/node_session.h"
