#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

void ZeqTuloExport::BuildHierarchy(TItDag::TraversalType, TFn::Type) {}
void ZeqTuloExport::SetTheParent(TFnDagNode&, ZeqTuloNode&) {}
void ZeqTuloExport::WriteNodeJoint(ZeqTuloNode*) {}
ZeqTuloNode* ZeqTuloExport::NodeForPath(const TDagPath&, const char*) const { return nullptr; }
void ZeqTuloExport::RegisterNode(ZeqTuloNode*, const TDagPath&) {}
