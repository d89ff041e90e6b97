#include "LoopU.h"
