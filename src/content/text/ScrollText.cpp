// The file's bytes are generated into this library from scroll-text.txt.
#include "content/text/ScrollText.h"
