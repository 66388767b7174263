#include "sprite/Win9xMode.h"

// The mask routine works everywhere, so it is the safe choice until the application knows better.
bool Win9xMode = true;
