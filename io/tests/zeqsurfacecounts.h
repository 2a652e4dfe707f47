#ifndef ZEQ_IO_TESTS_ZEQSURFACECOUNTS_H
#define ZEQ_IO_TESTS_ZEQSURFACECOUNTS_H

// NURBS records whose counts contradict their values, made by editing ASCII
// files the writers wrote: the cases a read must leave out, for the SDK's
// tests and the plug-in's alike.

#include <ostream>
#include <string>

namespace zeqsdk_400 {
class KZeqScene;
class KZeqSdkManager;
}  // namespace zeqsdk_400

namespace zeqiotest {

struct SurfaceCountEdit {
    enum EHow { eAddValue, eDropValue, eDropLine };
    const char* mName;
    const char* mField;  // the field edited
    EHow mHow;           // a value added in front, the first value gone, or the field's second line gone
    const char* mCheck;  // the text of the reader's check that fails
};
extern const SurfaceCountEdit kSurfaceCountEdits[5];
inline void PrintTo(const SurfaceCountEdit& edit, std::ostream* out) { *out << edit.mName; }

// Under the root: "Surf" at (1, 2, 3), then "Whole" at (4, 5, 6), each holding an open surface of 6
// by 14 points of orders 4 and 3 whose knot vectors (and points) run over several lines of an
// ASCII file.
void BuildSurfaceCountScene(zeqsdk_400::KZeqSdkManager& manager, zeqsdk_400::KZeqScene& scene);

// The edit made to the first field of its name after the text's first "Model: \"Model::Surf\"";
// false when there is none (or, for a line, when the field's values fit on one).
bool EditSurfaceCounts(std::string& text, const SurfaceCountEdit& edit);

}  // namespace zeqiotest

#endif
