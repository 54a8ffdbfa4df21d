// Must not compile: nothing below the GUI sees Qt.
#include <QString>
#include "core/text.h"
