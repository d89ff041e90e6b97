#include "StackValue.h"
