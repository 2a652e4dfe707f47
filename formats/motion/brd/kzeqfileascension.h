#ifndef ZEQ_FORMATS_MOTION_BRD_KZEQFILEASCENSION_H
#define ZEQ_FORMATS_MOTION_BRD_KZEQFILEASCENSION_H

#include "base/ktime.h"
#include "base/kzeqvector.h"
#include "fileio/ktextfile.h"

namespace zeqsdk_400 {

// An Ascension BRD file: one line a sensor and frame, in any order:
//   frame  sensor  P  x y z  Q  qx qy qz qw  seconds  microseconds
// (blanks or tabs between fields; P and Q may touch the number after them;
// text after the thirteenth field is ignored). Positions are in scene units;
// the quaternion need not be normalised.
class KZeqFileAscension : public KTextFile {
public:
    static const char* const mType;
    static const char* const mDel;
    static const char* const mCom;

    KZeqFileAscension();

    // The file's first line (first) or the next one; false at the end of the
    // file (IsEndOfFile then tells) or when a field does not read.
    bool ReadLine(int& frame, int& sensor, KZeqVector4& position, KZeqQuaternion& rotation, KTime& time, bool first);
    // The time as its whole seconds and the rest in whole microseconds.
    bool PrintLine(int frame, int sensor, const KZeqVector4& position, const KZeqQuaternion& rotation, KTime time);
};

}  // namespace zeqsdk_400

#endif
