// A formatting header that includes the updater above it: the layer check must name this file.
#pragma once

#include "output/text_format.h"
#include "update/engine_command.h"
