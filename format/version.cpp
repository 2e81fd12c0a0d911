#include "format/version.h"
