#include "app/shell.h"

UINT gTrayMessage;
