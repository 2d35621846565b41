// The same check as header_check.c, compiled as C++.
#include "header_check.c"
