// Rotation curves sampled in a chosen rotation order. Not built yet: a stub.
#include "plugin/import/zeqtuloimport.h"

TStatus ZeqTuloImport::SetRotationTuloCurve(TFnTransform& /*transform*/, zeqsdk_400::KFCurve** /*curves*/,
                                            TEulerRotation::RotationOrder /*order*/) {
    return TStatus::kSuccess;
}
