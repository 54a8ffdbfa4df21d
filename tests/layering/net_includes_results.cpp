// Must not compile: the web access layer cannot see the results layer.
#include "net/http_client.h"
#include "results/results_table.h"
