#include "formats/geometry/3ds/tests/k3dstest_support.h"
