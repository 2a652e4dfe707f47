// Transform animation: translation, rotation and scaling curves and static values, the global
// transform kept for the children, then pivots, limits and rotation order. Not built yet: stubs.
#include "plugin/import/zeqtuloimport.h"

void ZeqTuloImport::ImportTransformAnimation(ZeqTuloNode& /*node*/) {}
void ZeqTuloImport::ImportTransformAnimation(TFnTransform& /*transform*/, ZeqTuloNode& /*node*/) {}
void ZeqTuloImport::SetDefaultGeometry(ZeqTuloNode& /*node*/, TFnTransform& /*transform*/) {}
void ZeqTuloImport::SetTransformVector(double* /*values*/, zeqsdk_400::KFCurve** /*curves*/) const {}
void ZeqTuloImport::ImportRotationOrder(TFnTransform& /*transform*/, ZeqTuloNode& /*node*/) {}
