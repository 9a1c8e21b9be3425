#include "vok.h"
