// The recording printer is defined in its header; this unit stays for the test folders that
// list it among their sources.
#include "support_FakePrinter.h"
