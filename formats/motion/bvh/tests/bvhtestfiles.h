#ifndef ZEQ_FORMATS_MOTION_BVH_TESTS_BVHTESTFILES_H
#define ZEQ_FORMATS_MOTION_BVH_TESTS_BVHTESTFILES_H

// BVH text for the tests: an independent reading of a file into the kit's
// reference skeleton, and files written from a reference skeleton.

#include <string>
#include <vector>

#include "formats/motion/testkit/zeqmotiontestkit.h"

namespace bvhtest {

using namespace zeqmotiontest;

struct BvhText {
    RefSkeleton mSkeleton;  // end sites named "<parent>_End", without channels
    std::vector<std::vector<double>> mRows;
    double mFrameTime = 0.0;
    int mFrames = 0;
};

// Reads the words of a BVH file the simple way (whitespace-separated, exact
// keywords): enough for well-formed files, independent of the reader.
BvhText ParseBvh(const std::string& text);

// A BVH file of the skeleton (each joint's channels named in its order, a
// joint without channels and without children written as an End Site) and rows.
std::string MakeBvh(const RefSkeleton& skeleton, const std::vector<std::vector<double>>& rows,
                    double frameTime = 1.0 / 30.0);

// A small skeleton: Hips (positions and rotations) - Spine - Head - Head_End,
// and Hips - Leg - Leg_End, rotations listed as given (e.g. "ZXY"), those of
// Hips as rootOrder when that is given.
RefSkeleton SmallSkeleton(const std::string& order = "ZXY", const std::string& rootOrder = "");
// count rows of varied values for a skeleton.
std::vector<std::vector<double>> SomeRows(const RefSkeleton& skeleton, int count);

}  // namespace bvhtest

#endif
