#ifndef ZEQ_FORMATS_MOTION_HTR_TESTS_KZEQHTRSAMPLES_H
#define ZEQ_FORMATS_MOTION_HTR_TESTS_KZEQHTRSAMPLES_H

// HTR text made on the spot for the benchmark (no gtest): a tree of segments
// (a spine with limbs of four) and frames of smooth made-up values.

#include <cstdio>
#include <string>

namespace zeqhtrsamples {

inline std::string SampleHtr(int segments, int frames) {
    char line[160];
    std::string text = "[Header]\nFileType htr\nDataType HTRS\nFileVersion 1\n";
    std::snprintf(line, sizeof(line), "NumSegments %d\nNumFrames %d\n", segments, frames);
    text += line;
    text += "DataFrameRate 30\nEulerRotationOrder ZYX\nCalibrationUnits mm\nRotationUnits Degrees\n"
            "GlobalAxisofGravity Y\nBoneLengthAxis Y\nScaleFactor 1.00\n[SegmentNames&Hierarchy]\n";
    // Segment i hangs below i - 1, except that every fifth starts a new limb on the spine (0).
    auto parent = [](int i) { return i == 0 ? -1 : (i % 5 == 1 ? 0 : i - 1); };
    for (int i = 0; i < segments; ++i) {
        if (parent(i) < 0)
            std::snprintf(line, sizeof(line), "Seg%d\tGLOBAL\n", i);
        else
            std::snprintf(line, sizeof(line), "Seg%d\tSeg%d\n", i, parent(i));
        text += line;
    }
    text += "[BasePosition]\n";
    for (int i = 0; i < segments; ++i) {
        std::snprintf(line, sizeof(line), "Seg%d\t%.6f\t%.6f\t%.6f\t%.6f\t%.6f\t%.6f\t%.6f\n", i, i % 3 * 10.0, 100.0,
                      i % 2 * 5.0, i * 1.5, -i * 2.0, i * 0.5, 100.0);
        text += line;
    }
    for (int i = 0; i < segments; ++i) {
        std::snprintf(line, sizeof(line), "[Seg%d]\n", i);
        text += line;
        for (int f = 0; f < frames; ++f) {
            const double v = ((f * 7 + i * 13) % 101) / 101.0;
            std::snprintf(line, sizeof(line), "%d\t%.6f\t%.6f\t%.6f\t%.6f\t%.6f\t%.6f\t1.000000\n", f, v, -v, 0.5 * v,
                          20.0 * v - 10.0, 15.0 * v, -5.0 * v);
            text += line;
        }
    }
    return text + "[EndOfFile]\n";
}

}  // namespace zeqhtrsamples

#endif
