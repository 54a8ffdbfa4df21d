// Must compile: the same check with an allowed include, so a breach test
// fails for the layering and not for a broken harness.
#include "engine/research.h"
#include "results/results_table.h"
