#ifndef ZEQ_PLUGIN_ZEQTULOPROGRESSMETER_H
#define ZEQ_PLUGIN_ZEQTULOPROGRESSMETER_H

#include "base/kstring.h"

// The progress state of an import or export. The host shows no progress window for the plug-in:
// sections and activations are accepted and not shown.
class ZeqTuloProgressMeter {
public:
    // Index 0, the show-UI flag and window name given, an empty section name.
    static void Reset(bool showUI, const char* windowName);
    static void Section(const char* section);
    static void Activate(const char* name);

    static int smIndex;
    static bool smShowUI;
    static zeqsdk_400::KString smWindowName;
    static zeqsdk_400::KString smSectionName;
};

#endif
