// NURBS surfaces.
#include "plugin/import/zeqtuloimport.h"

void ZeqTuloImport::GetNURBData(zeqsdk_400::KZeqNurb*, zeqsdk_400::KZeqVector4*, TPointArray&, TDoubleArray&,
                                TDoubleArray&, int&, int&, int&, int&, TStatus*, bool*, bool*) {}
void ZeqTuloImport::CreateNurbGeometry(ZeqTuloNode* /*node*/) {}
