#include "formats/motion/brd/kzeqfileascension.h"

#include <cmath>

namespace zeqsdk_400 {

const char* const KZeqFileAscension::mType = "BRD";
const char* const KZeqFileAscension::mDel = " \t\r\n";
const char* const KZeqFileAscension::mCom = "";

KZeqFileAscension::KZeqFileAscension() : KTextFile(mType, mDel, mCom, true, false) {}

bool KZeqFileAscension::ReadLine(int& frame, int& sensor, KZeqVector4& position, KZeqQuaternion& rotation, KTime& time,
                                 bool first) {
    double xyz[3], q[4], seconds = 0.0, microseconds = 0.0;
    char p = 0, letterQ = 0;
    if (!(first ? FirstLine() : NextLine()) || !GetInteger(frame) || !GetInteger(sensor) || !GetChar(p) || p != 'P' ||
        !GetVector(xyz, 1.0) || !GetChar(letterQ) || letterQ != 'Q')
        return false;
    for (double& component : q)
        if (!GetDouble(component, 1.0)) return false;
    if (!GetDouble(seconds, 1.0) || !GetDouble(microseconds, 1.0)) return false;
    position.Set(xyz[0], xyz[1], xyz[2], 0.0);
    rotation.Set(q[0], q[1], q[2], q[3]);
    KTime whole, fraction;
    whole.SetSecondDouble(seconds);
    fraction.SetSecondDouble(microseconds / 1000000.0);
    time = whole + fraction;
    return true;
}

bool KZeqFileAscension::PrintLine(int frame, int sensor, const KZeqVector4& position, const KZeqQuaternion& rotation,
                                  KTime time) {
    const kLongLong ticks = time.Get();
    const kLongLong whole = ticks / KTime::OneSecond().Get();
    const double rest = static_cast<double>(ticks - whole * KTime::OneSecond().Get()) / static_cast<double>(KTime::OneSecond().Get());
    return Print(0, "%d\t%d\tP\t%g\t%g\t%g\tQ\t%g\t%g\t%g\t%g\t%g\t%g\n", frame, sensor, position.GetAt(0),
                 position.GetAt(1), position.GetAt(2), rotation[0], rotation[1], rotation[2], rotation[3],
                 static_cast<double>(whole), std::trunc(rest * 1000000.0));
}

}  // namespace zeqsdk_400
