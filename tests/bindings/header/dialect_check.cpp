// The same check as dialect_check.c, compiled as C++.
#include "dialect_check.c"
