#include "plugin/export/zeqtuloexport.h"

using namespace zeqsdk_400;

TStatus ZeqTuloExport::CheckDuplicateName(ZeqTuloNode*) { return TStatus::kSuccess; }
TStatus ZeqTuloExport::parseArgs(const TArgList&, char*, std::size_t) { return TStatus::kFailure; }
void WarnForNamespacesInMaterialsAndTextures(ZeqLogFile*, ZeqTuloSdkManager&) {}
void WarnForNamespacesInFirstChildren(ZeqLogFile*, ZeqTuloSdkManager&, ZeqTuloNode*) {}
bool IsRendererDynamicAttribute(TObject&) { return false; }
