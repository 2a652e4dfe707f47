#include "plugin/zeqtuloprogressmeter.h"

using zeqsdk_400::KString;

int ZeqTuloProgressMeter::smIndex = 0;
bool ZeqTuloProgressMeter::smShowUI = false;
KString ZeqTuloProgressMeter::smWindowName;
KString ZeqTuloProgressMeter::smSectionName;

void ZeqTuloProgressMeter::Reset(bool showUI, const char* windowName) {
    smIndex = 0;
    smShowUI = showUI;
    smWindowName = windowName ? windowName : "";
    smSectionName = "";
}

void ZeqTuloProgressMeter::Section(const char*) {}

void ZeqTuloProgressMeter::Activate(const char*) {}
