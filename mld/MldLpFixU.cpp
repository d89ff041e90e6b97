#include "MldLpFixU.h"
