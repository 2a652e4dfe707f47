#include "formats/motion/marker/kzeqfileadaptiveoptics.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "formats/motion/common/kzeqmotionfileio.h"

namespace zeqsdk_400 {

namespace {

// The least a point line takes: "0 0 0" and its end.
constexpr std::uintmax_t kBytesPerPoint = 6;

template <class T>
bool ParseWord(const KString& word, T& value) {
    const char* text = word.Buffer();
    const char* end = text + word.GetLen();
    if (text < end && *text == '+') ++text;
    const std::from_chars_result result = std::from_chars(text, end, value);
    return text < end && result.ec == std::errc() && result.ptr == end;
}

}  // namespace

KZeqFileAdaptiveOptics::KZeqFileAdaptiveOptics() : KTextFile("AOA", " \t\r\n", "", true, false) {}

KZeqFileAdaptiveOptics::~KZeqFileAdaptiveOptics() = default;

IKObject* KZeqFileAdaptiveOptics::IQuery(unsigned long interfaceId, int) {
    return interfaceId == kIZeqFileMotionBaseInterfaceId || interfaceId == kIKObjectInterfaceId ? this : nullptr;
}

void KZeqFileAdaptiveOptics::Destroy(int) { delete this; }

bool KZeqFileAdaptiveOptics::Open(const char* name, const char* mode) {
    return ZeqOpenTextFile(*this, name, mode, mFileSize);
}

bool KZeqFileAdaptiveOptics::Close() { return KTextFile::Close(); }

bool KZeqFileAdaptiveOptics::NextWord(KString& word) {
    while (!GetString(word))
        if (!NextLine()) return false;
    return true;
}

bool KZeqFileAdaptiveOptics::Expect(const char* keyword) {
    KString word;
    return NextWord(word) && word.CompareNoCase(keyword) == 0;
}

bool KZeqFileAdaptiveOptics::ReadHeader(int& markerCount, KTime& start, int& frameCount, double& frameRate,
                                        double& scale) {
    if (!FirstLine()) return false;
    KString word;
    do {
        if (!NextWord(word)) return false;
    } while (word.CompareNoCase("frames") != 0);
    int frames = -1, markers = -1;
    double rate = 0.0;
    KString value[3];
    if (!Expect("=") || !NextWord(value[0]) || !Expect("markers") || !Expect("=") || !NextWord(value[1]) ||
        !Expect("Hz") || !Expect("=") || !NextWord(value[2]) || !ParseWord(value[0], frames) || frames < 0 ||
        !ParseWord(value[1], markers) || markers < 0 || !ParseWord(value[2], rate) || !std::isfinite(rate) ||
        rate <= 0.0)
        return false;
    const std::uintmax_t backed = frames > 0 ? mFileSize / kBytesPerPoint / static_cast<std::uintmax_t>(frames) : mFileSize;
    if (static_cast<std::uintmax_t>(markers) > backed) return false;
    markerCount = mMarkerCount = markers;
    frameCount = frames;
    frameRate = rate;
    start = KTime();
    scale = 1.0;
    return true;
}

bool KZeqFileAdaptiveOptics::ReadAnimationHeader(KArrayTemplate<KString*>& names, bool) {
    for (int i = 0; i < names.GetCount(); ++i) *names[i] = KString("Marker") + (i + 1);
    return true;
}

bool KZeqFileAdaptiveOptics::ReadAnimationFrame(KArrayTemplate<KZeqVector4>& frame, int markerCount, KTime& time,
                                                int& frameNumber, KTime period, bool exactZeroIsOccluded) {
    for (int i = 0; i < markerCount; ++i) {
        double xyz[3];
        if (!NextLine() || !GetVector(xyz, 1.0)) return false;
        const bool zero = xyz[0] == 0.0 && xyz[1] == 0.0 && xyz[2] == 0.0;
        if (frame.Add(KZeqVector4(xyz[0], xyz[1], xyz[2], exactZeroIsOccluded && zero ? 1.0 : 0.0)) < 0) return false;
    }
    ++frameNumber;
    time += period;
    return true;
}

bool KZeqFileAdaptiveOptics::PrintHeader(int markerCount, KTime, int frameCount, double frameRate, double) {
    return Print(0, "frames = %d markers = %d Hz = %g\n", frameCount, markerCount, frameRate);
}

bool KZeqFileAdaptiveOptics::PrintAnimationFrame(KZeqVector4* points, int count, KTime, int) {
    bool ok = true;
    for (int i = 0; i < count; ++i) ok = Print(0, "%g %g %g\n", points[i].GetAt(0), points[i].GetAt(1), points[i].GetAt(2)) && ok;
    return ok;
}

}  // namespace zeqsdk_400
