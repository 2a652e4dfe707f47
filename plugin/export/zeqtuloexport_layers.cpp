#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

void ZeqTuloExport::FillLayerData(KLayerMapping*, KZeqGeometry*, bool) {}
