#include <gtest/gtest.h>

#include "formats/motion/marker/tests/markertest.h"

using namespace markertest;

namespace {

TEST(ViconProbe, Eb015) {
    for (const char* name : {"c3d/Eb015pi.c3d", "c3d/Eb015pr.c3d", "c3d/Eb015si.c3d", "c3d/Eb015sr.c3d", "c3d/Eb015vi.c3d", "c3d/Eb015vr.c3d", "c3d/HDM_dg_06-03_03_120.c3d", "c3d/basketball.c3d"}) {
        ZEQ_SAMPLE_OR_SKIP(path, name);
        MarkerScene s;
        bool ok = s.Import(path, KZeqImporter::eVICON_C3D, [](KStreamOptionsMotion& o) { o.SetOption(6, KStreamOptionsMotion::eOff); o.SetOption(7, KStreamOptionsMotion::eOff); });
        std::printf("%s ok=%d err=%d %s\n", name, ok, s.mError, s.mErrorText.Buffer());
        if (!ok) continue;
        auto names = s.MarkerNames();
        std::printf("  %zu markers: %s %s %s %s ... %s\n", names.size(), names[0].c_str(), names[1].c_str(), names[2].c_str(), names[3].c_str(), names.back().c_str());
        Track x = s.TrackOf(0, 0), y = s.TrackOf(0, 1), z = s.TrackOf(0, 2);
        std::printf("  frames %zu start %f  m0f0 (%f %f %f) occluded %d\n", x.mValues.size(), x.mTimes[0].GetSecondDouble(), x.mValues[0], y.mValues[0], z.mValues[0], s.OccludedCount());
    }
}

}  // namespace
