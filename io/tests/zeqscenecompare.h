#ifndef ZEQ_IO_TESTS_ZEQSCENECOMPARE_H
#define ZEQ_IO_TESTS_ZEQSCENECOMPARE_H

// Compares two scenes field by field and names every field that differs, as
// "sceneInfo.mTitle: 'a' != 'b'". One row per kind of content: a section
// that becomes readable and writable adds its row to kZeqCompareRows.

#include <string>
#include <vector>

#include "base/kstring.h"
#include "base/ktime.h"

namespace zeqsdk_400 {
class KZeqScene;
class KZeqTakeInfo;
class KZeqThumbnail;
}  // namespace zeqsdk_400

namespace zeqiotest {

struct ZeqDiff {
    template <class T>
    void Check(const std::string& path, const T& expected, const T& actual) {
        if (!(expected == actual)) mFields.push_back(path + ": " + Text(expected) + " != " + Text(actual));
    }
    // Every difference, one per line; empty when equal.
    std::string Report() const {
        std::string text;
        for (const std::string& field : mFields) text += field + "\n";
        return text;
    }

    static std::string Text(const zeqsdk_400::KString& value) { return "'" + std::string(value.Buffer()) + "'"; }
    static std::string Text(const zeqsdk_400::KTime& value) { return std::to_string(value.Get()); }
    template <class T>
    static std::string Text(const T& value) {
        return std::to_string(value);
    }
    std::vector<std::string> mFields;
};

typedef void (*ZeqCompareRow)(zeqsdk_400::KZeqScene& expected, zeqsdk_400::KZeqScene& actual, ZeqDiff& diff);
extern const ZeqCompareRow kZeqCompareRows[];
extern const int kZeqCompareRowCount;

// Runs every row.
ZeqDiff CompareScenes(zeqsdk_400::KZeqScene& expected, zeqsdk_400::KZeqScene& actual);

// Pieces the rows share.
void CompareThumbnail(const std::string& path, const zeqsdk_400::KZeqThumbnail* expected,
                      const zeqsdk_400::KZeqThumbnail* actual, ZeqDiff& diff);
void CompareTakeInfo(const std::string& path, const zeqsdk_400::KZeqTakeInfo& expected,
                     const zeqsdk_400::KZeqTakeInfo& actual, ZeqDiff& diff);

}  // namespace zeqiotest

#endif
