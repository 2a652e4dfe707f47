#include <gtest/gtest.h>

#include "formats/motion/marker/tests/markertest.h"

using namespace markertest;

namespace {

TEST(TrcProbe, Human) {
    for (const char* name : {"trc/human.trc", "trc/markers.trc"}) {
        ZEQ_SAMPLE_OR_SKIP(path, name);
        MarkerScene s;
        bool ok = s.Import(path, KZeqImporter::eMOTION_ANALYSIS_TRC, [](KStreamOptionsMotion& o) { o.SetOption(6, KStreamOptionsMotion::eOff); });
        std::printf("%s ok=%d err=%d %s children %d\n", name, ok, s.mError, s.mErrorText.Buffer(), s.Root()->GetChildCount());
        if (!ok) continue;
        auto names = s.MarkerNames();
        std::printf("  %zu markers: %s %s ... %s\n", names.size(), names[0].c_str(), names[1].c_str(), names.back().c_str());
        KFCurve* x = s.Curve(0, 0);
        std::printf("  keys %d  start %f\n", x->KeyGetCount(), x->KeyGetPtr(0)->GetTime().GetSecondDouble());
    }
}

}  // namespace
