#pragma once
// The core library: texts, checked arrays, formatting, standard texts, the
// file object, the fatal routine and the out-of-memory handler.
#include "core/ts_fatal.h"
#include "core/ts_file.h"
#include "core/ts_format.h"
#include "core/ts_memory.h"
#include "core/ts_system.h"
#include "core/ts_text.h"
#include "core/ts_texts.h"
#include "core/ts_vector.h"
