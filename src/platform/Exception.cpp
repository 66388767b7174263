#include "platform/Exception.h"
// Anchors the platform library until it has code of its own beyond headers.
