#include "formats/motion/vpm/kzeqfilepuppeteer.h"

namespace zeqsdk_400 {

const char* const KZeqFilePuppeteer::mType = "VPM";
const char* const KZeqFilePuppeteer::mDel = " \t\r\n";
const char* const KZeqFilePuppeteer::mCom = "";
KToken KZeqFilePuppeteer::mMain[4] = {{"Segment:", 0}, {"Frames:", 0}, {"Frame Time:", 0}, {"", 0}};

namespace {

constexpr double kInch = 2.54;

}  // namespace

KZeqFilePuppeteer::KZeqFilePuppeteer() : KTextFile(mType, mDel, mCom, true, false) {}

bool KZeqFilePuppeteer::ReadHeader(KString& name, int& frames, double& frameTime, bool first) {
    name.Empty();
    frames = -1;
    frameTime = 0.0;
    // Matched against a copy: the table's hit counts are the file's own state.
    KToken table[4] = {mMain[0], mMain[1], mMain[2], mMain[3]};
    const bool read = (first ? FirstLine() : NextLine()) && Handle(table) == 0 && GetString(name) && NextLine() &&
                      Handle(table) == 1 && GetInteger(frames) && NextLine() && Handle(table) == 2 &&
                      GetDouble(frameTime, 1.0);
    return read && !name.IsEmpty() && frames >= 0 && frameTime > 0.0;
}

bool KZeqFilePuppeteer::ReadAnimationHeader() {
    KString word;
    for (int line = 0; line < 2; ++line) {
        if (!NextLine()) return false;
        for (int i = 0; i < 9 && GetString(word); ++i) {
        }
    }
    return true;
}

bool KZeqFilePuppeteer::ReadAnimationFrame(KZeqVector4& t, KZeqVector4& r, KZeqVector4& s) {
    double values[9];
    if (!NextLine() || !GetVector(values, 1.0) || !GetVector(values + 3, 1.0) || !GetVector(values + 6, 1.0)) return false;
    t.Set(values[0] * kInch, values[1] * kInch, values[2] * kInch, 0.0);
    r.Set(values[3], values[4], values[5], 0.0);
    s.Set(1.0, 1.0, 1.0, 1.0);
    return true;
}

bool KZeqFilePuppeteer::PrintHeader(const KString& name, int frames, double frameTime) {
    return Print(0, "%s\t%s\n", mMain[0].mKeyword, name.Buffer()) && Print(0, "%s\t%d\n", mMain[1].mKeyword, frames) &&
           Print(0, "%s\t%g\n", mMain[2].mKeyword, frameTime);
}

bool KZeqFilePuppeteer::PrintAnimationHeader() {
    return Print(0, "XTRAN\tYTRAN\tZTRAN\tXROT\tYROT\tZROT\tXSCALE\tYSCALE\tZSCALE\n") &&
           Print(0, "INCHES\tINCHES\tINCHES\tDEGREES\tDEGREES\tDEGREES\tPERCENT\tPERCENT\tPERCENT\n");
}

bool KZeqFilePuppeteer::PrintAnimationFrame(KZeqVector4 t, KZeqVector4 r, KZeqVector4 s) {
    t *= 0.3937007874015748;
    s *= 100.0;
    // + 0.0 writes a negative zero as 0.
    t += KZeqVector4(0.0, 0.0, 0.0, 0.0), r += KZeqVector4(0.0, 0.0, 0.0, 0.0);
    return Print(0, "%g\t%g\t%g\t%g\t%g\t%g\t%g\t%g\t%g\n", t.GetAt(0), t.GetAt(1), t.GetAt(2), r.GetAt(0), r.GetAt(1),
                 r.GetAt(2), s.GetAt(0), s.GetAt(1), s.GetAt(2));
}

}  // namespace zeqsdk_400
