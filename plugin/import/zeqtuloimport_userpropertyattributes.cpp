// User-property attributes on new host nodes.
#include "plugin/import/zeqtuloimport.h"

void ZeqTuloImport::AddUserProperty(zeqsdk_400::KZeqUserProperty*, TFnTransform&, ZeqTuloNode*) {}
void ZeqTuloImport::AddUserProperties(TFnTransform&, ZeqTuloNode*) {}
