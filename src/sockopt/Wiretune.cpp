#include "Wiretune.h"
