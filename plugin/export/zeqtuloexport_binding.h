#ifndef ZEQ_PLUGIN_EXPORT_ZEQTULOEXPORT_BINDING_H
#define ZEQ_PLUGIN_EXPORT_ZEQTULOEXPORT_BINDING_H

#include "base/kzeqmatrix.h"
#include "tstatus.h"

class TDoubleArray;

// A matrix the host answered as 16 values, row by row. A reply of fewer values changes nothing
// and answers false; values past the 16th are not read.
bool ZeqMatrixFromReply(const TDoubleArray& reply, zeqsdk_400::KZeqMatrix& matrix);

#endif
