// Must not compile: the web access layer cannot see the engine.
#include "engine/research.h"
#include "net/http_client.h"
