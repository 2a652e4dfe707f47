#ifndef ZEQ_IO_TESTS_ZEQSCENECOMPARE_H
#define ZEQ_IO_TESTS_ZEQSCENECOMPARE_H

// Compares two scenes field by field and names every field that differs, as
// "sceneInfo.mTitle: 'a' != 'b'". One row per kind of content: a section
// that becomes readable and writable adds its row to kZeqCompareRows.

#include <algorithm>
#include <cmath>
#include <string>
#include <type_traits>
#include <vector>

#include "base/kstring.h"
#include "base/ktime.h"

namespace zeqsdk_400 {
class KFCurveNode;
class KZeqNode;
class KZeqScene;
class KZeqTakeInfo;
class KZeqTakeNodeContainer;
class KZeqThumbnail;
}  // namespace zeqsdk_400

namespace zeqiotest {

// What a file form does not keep; the rows compare against what it keeps.
// Both writers keep no node without attribute (it comes back as a null) and
// no skeleton effector (it comes back as a root).
enum EZeqLoss {
    // 5.8: the property block, so every node property no record carries
    // (pivots, limits, inheritance, a marker's IK pivot ...), and generic nodes.
    eZeqLosesPropertyBlock = 1,
    // 6.0: what only the 5.8 user-property record holds: limits, labels and
    // user properties of no type.
    eZeqLosesUserPropertyRecords = 2,
    // 5.8: of the layers after the first, all but the textures and UVs.
    eZeqLosesUpperLayers = 4,
    // 6.0: the grid values of meshes.
    eZeqLosesMeshGrid = 8,
    // 6.0: the producer cameras and the default camera (no version-6 read takes them).
    eZeqLosesCameraSettings = 16,
    // 5.8: the switcher's camera names and default index (no "Switcher" record).
    eZeqLosesSwitcherNames = 32,
};

struct ZeqDiff {
    template <class T>
    void Check(const std::string& path, const T& expected, const T& actual) {
        if (!Equal(expected, actual)) mFields.push_back(path + ": " + Text(expected) + " != " + Text(actual));
    }
    // Floating-point numbers within mTolerance, relative to the larger magnitude and absolute below
    // magnitude 1; everything else exactly.
    template <class T>
    bool Equal(const T& expected, const T& actual) const {
        if constexpr (std::is_floating_point<T>::value)
            return expected == actual ||
                   std::fabs(static_cast<double>(expected) - static_cast<double>(actual)) <=
                       mTolerance * std::max({1.0, std::fabs(static_cast<double>(expected)),
                                              std::fabs(static_cast<double>(actual))});
        else
            return expected == actual;
    }
    // Every difference, one per line; empty when equal.
    std::string Report() const {
        std::string text;
        for (const std::string& field : mFields) text += field + "\n";
        return text;
    }

    static std::string Text(const zeqsdk_400::KString& value) { return "'" + std::string(value.Buffer()) + "'"; }
    static std::string Text(const zeqsdk_400::KTime& value) { return std::to_string(value.Get()); }
    static std::string Text(const std::string& value) { return "'" + value + "'"; }
    template <class T>
    static std::string Text(const T& value) {
        return std::to_string(value);
    }
    std::vector<std::string> mFields;
    int mLosses = 0;
    double mTolerance = 0.0;  // 0: numbers compare exactly
};

typedef void (*ZeqCompareRow)(zeqsdk_400::KZeqScene& expected, zeqsdk_400::KZeqScene& actual, ZeqDiff& diff);
extern const ZeqCompareRow kZeqCompareRows[];
extern const int kZeqCompareRowCount;

// Limits, targets, cameras and lights of a node pair (zeqcompare_cameras.cpp).
void CompareLimitsTargetsCamerasAndLights(const std::string& path, zeqsdk_400::KZeqNode& expected,
                                          zeqsdk_400::KZeqNode& actual, ZeqDiff& diff);
// Rows kept in files of their own.
void CompareSurfacesLinksAndShapes(zeqsdk_400::KZeqScene& expected, zeqsdk_400::KZeqScene& actual, ZeqDiff& diff);
// Characters and character poses (zeqcompare_characters.cpp).
void CompareCharacters(zeqsdk_400::KZeqScene& expected, zeqsdk_400::KZeqScene& actual, ZeqDiff& diff);

// Runs every row, knowing what the file form lost; floating-point fields within the tolerance
// (relative, absolute below magnitude 1; 0 compares exactly).
ZeqDiff CompareScenes(zeqsdk_400::KZeqScene& expected, zeqsdk_400::KZeqScene& actual, int losses = 0,
                      double tolerance = 0.0);

// Rows of meshes (with their layers), materials and textures.
void CompareMeshes(zeqsdk_400::KZeqScene& expected, zeqsdk_400::KZeqScene& actual, ZeqDiff& diff);
void CompareMaterials(zeqsdk_400::KZeqScene& expected, zeqsdk_400::KZeqScene& actual, ZeqDiff& diff);
void CompareTextures(zeqsdk_400::KZeqScene& expected, zeqsdk_400::KZeqScene& actual, ZeqDiff& diff);
// Rows of the scene settings, switcher, gobos, marker sets, actors and poses.
void CompareSettings(zeqsdk_400::KZeqScene& expected, zeqsdk_400::KZeqScene& actual, ZeqDiff& diff);
void CompareSwitcher(zeqsdk_400::KZeqScene& expected, zeqsdk_400::KZeqScene& actual, ZeqDiff& diff);
void CompareGobos(zeqsdk_400::KZeqScene& expected, zeqsdk_400::KZeqScene& actual, ZeqDiff& diff);
void CompareMarkerSetsAndActors(zeqsdk_400::KZeqScene& expected, zeqsdk_400::KZeqScene& actual, ZeqDiff& diff);
void ComparePoses(zeqsdk_400::KZeqScene& expected, zeqsdk_400::KZeqScene& actual, ZeqDiff& diff);

// Pieces the rows share.
void CompareThumbnail(const std::string& path, const zeqsdk_400::KZeqThumbnail* expected,
                      const zeqsdk_400::KZeqThumbnail* actual, ZeqDiff& diff);
void CompareTakeInfo(const std::string& path, const zeqsdk_400::KZeqTakeInfo& expected,
                     const zeqsdk_400::KZeqTakeInfo& actual, ZeqDiff& diff);
// Curves key by key (time, value, interpolation, tangent and weight modes,
// derivatives, weights), children by name; channels only actual has are
// named unless listed in extra (names separated by '|').
void CompareCurveNode(const std::string& path, zeqsdk_400::KFCurveNode* expected, zeqsdk_400::KFCurveNode* actual,
                      ZeqDiff& diff, const char* extra = "");
// Every take of expected from index first on, by name.
void CompareTakes(const std::string& path, zeqsdk_400::KZeqTakeNodeContainer& expected,
                  zeqsdk_400::KZeqTakeNodeContainer& actual, ZeqDiff& diff, const char* extra = "", int first = 0);

}  // namespace zeqiotest

#endif
