// Must not compile: the engine gets its fetcher from its host, never net.
#include "engine/research.h"
#include "net/http_client.h"
