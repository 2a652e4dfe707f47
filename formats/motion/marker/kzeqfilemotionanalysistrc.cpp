#include "formats/motion/marker/kzeqfilemotionanalysistrc.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "formats/motion/common/kzeqmotionfileio.h"

namespace zeqsdk_400 {

namespace {

constexpr const char* kDelimiters = "\t\r\n";
// The three header lines: files of some producers pad their words and fields
// with blanks ("PathFileType  4", " mm"), which count as separators there.
constexpr const char* kHeaderDelimiters = "\t \r\n";
// The least a marker takes in a file: its name and its three column labels,
// each a character and a tab.
constexpr std::uintmax_t kBytesPerMarker = 8;

std::string_view Trim(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// A whole field as one number (blanks around it allowed); false for anything else.
template <class T>
bool ParseField(std::string_view field, T& value) {
    field = Trim(field);
    if (!field.empty() && field.front() == '+') field.remove_prefix(1);
    if (field.empty()) return false;
    const std::from_chars_result result = std::from_chars(field.data(), field.data() + field.size(), value);
    return result.ec == std::errc() && result.ptr == field.data() + field.size();
}

// Appends value with a fixed number of decimals, as printf's "%.Nf" does.
void AppendFixed(std::string& out, double value, int decimals) {
    char buffer[400];
    const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, decimals);
    out.append(buffer, result.ec == std::errc() ? static_cast<std::size_t>(result.ptr - buffer) : 0);
}

// The rate as the header's two decimals when they hold it, else with every digit
// it needs, so that the rows keep their times on reading.
std::string RateText(double rate) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.2f", rate);
    if (std::strtod(text, nullptr) == rate) return text;
    const std::to_chars_result shortest = std::to_chars(text, text + sizeof(text), rate);
    return std::string(text, shortest.ptr);
}

}  // namespace

KZeqFileMotionAnalysisTrc::KZeqFileMotionAnalysisTrc() : KTextFile("TRC", kDelimiters, "", true, false) {}

KZeqFileMotionAnalysisTrc::~KZeqFileMotionAnalysisTrc() = default;

IKObject* KZeqFileMotionAnalysisTrc::IQuery(unsigned long interfaceId, int) {
    return interfaceId == kIZeqFileMotionBaseInterfaceId || interfaceId == kIKObjectInterfaceId ? this : nullptr;
}

void KZeqFileMotionAnalysisTrc::Destroy(int) { delete this; }

bool KZeqFileMotionAnalysisTrc::Open(const char* name, const char* mode) {
    return ZeqOpenTextFile(*this, name, mode, mFileSize);
}

bool KZeqFileMotionAnalysisTrc::Close() { return KTextFile::Close(); }

bool KZeqFileMotionAnalysisTrc::NextWord(KString& word, bool wrap) {
    // Blanks around a field are padding; a field of blanks alone is empty.
    for (;;) {
        while (!GetString(word)) {
            if (!wrap || !NextLine()) return false;
        }
        const std::string_view trimmed = Trim(std::string_view(word.Buffer(), word.GetLen()));
        if (trimmed.empty()) continue;
        if (trimmed.size() != static_cast<std::size_t>(word.GetLen())) word = KString(std::string(trimmed).c_str());
        return true;
    }
}

bool KZeqFileMotionAnalysisTrc::ExpectWord(const char* keyword) {
    KString word;
    return NextWord(word, false) && word.CompareNoCase(keyword) == 0;
}

bool KZeqFileMotionAnalysisTrc::ReadHeader(int& markerCount, KTime& start, int& frameCount, double& frameRate,
                                           double& scale) {
    SetDel(kHeaderDelimiters);
    const bool read = ReadHeaderLines(markerCount, start, frameCount, frameRate, scale);
    SetDel(kDelimiters);
    return read;
}

bool KZeqFileMotionAnalysisTrc::ReadHeaderLines(int& markerCount, KTime& start, int& frameCount, double& frameRate,
                                                double& scale) {
    int type = 0;
    if (!FirstLine() || !ExpectWord("PathFileType") || !GetInteger(type) || (type != 3 && type != 4) ||
        !ExpectWord("(X/Y/Z)"))
        return false;
    // The fourth word, usually the file's name, says nothing the reader needs.
    if (!NextLine()) return false;
    static const char* const kColumns[] = {"DataRate", "CameraRate", "NumFrames", "NumMarkers", "Units",
                                           "OrigDataRate", "OrigDataStartFrame", "OrigNumFrames"};
    const int columns = type == 4 ? 8 : 5;
    for (int i = 0; i < columns; ++i)
        if (!ExpectWord(kColumns[i])) return false;

    double rate = 0.0, cameraRate = 0.0;
    int frames = 0, markers = 0;
    KString units;
    if (!NextLine() || !GetDouble(rate, 1.0) || !std::isfinite(rate) || rate <= 0.0 || !GetDouble(cameraRate, 1.0) ||
        !GetInteger(frames) || frames < 0 || !GetInteger(markers) || markers < 0 || !GetString(units))
        return false;
    // A name and three labels per marker must fit in the file.
    if (static_cast<std::uintmax_t>(markers) > mFileSize / kBytesPerMarker) return false;
    if (units.CompareNoCase("m") == 0)
        scale = 100.0;
    else if (units.CompareNoCase("cm") == 0)
        scale = 1.0;
    else if (units.CompareNoCase("mm") == 0)
        scale = 0.1;
    else
        return false;
    if (type == 4) {
        double originalRate = 0.0;
        int startFrame = 0, originalFrames = 0;
        if (!GetDouble(originalRate, 1.0) || !GetInteger(startFrame) || !GetInteger(originalFrames)) return false;
        start.SetSecondDouble((static_cast<double>(startFrame) - 1.0) / rate);
    }
    markerCount = markers;
    frameCount = frames;
    frameRate = rate;
    return true;
}

bool KZeqFileMotionAnalysisTrc::ReadAnimationHeader(KArrayTemplate<KString*>& names, bool) {
    if (!NextLine() || !ExpectWord("Frame#") || !ExpectWord("Time")) return false;
    for (int i = 0; i < names.GetCount(); ++i) {
        KString& name = *names[i];
        if (!NextWord(name, true)) return false;
        if (std::strstr(name.Buffer(), "Unnamed")) {
            name = KString("*Unnamed_") + (i + 1);
        } else {
            for (char* c = name.Buffer(); *c; ++c)
                if (*c == ' ') *c = '_';
        }
    }
    if (!NextLine()) return false;
    KString label;
    for (int i = 0; i < 3 * names.GetCount(); ++i) {
        if (!NextWord(label, true)) return false;
        const char letter = static_cast<char>(label[0] | 0x20);  // trimmed by NextWord
        if (letter != "xyz"[i % 3]) return false;
    }
    return true;
}

bool KZeqFileMotionAnalysisTrc::ReadAnimationFrame(KArrayTemplate<KZeqVector4>& frame, int, KTime& time,
                                                   int& frameNumber, KTime, bool) {
    if (!NextLine()) return false;
    const char* line = GetCursor();
    const std::string_view row(line, std::strlen(line));
    std::size_t at = 0;
    bool more = true;
    // The next tab-separated field; the row ends at its line end.
    auto next = [&](std::string_view& field) {
        if (!more) return false;
        const std::size_t tab = row.find('\t', at);
        field = row.substr(at, tab == std::string_view::npos ? std::string_view::npos : tab - at);
        more = tab != std::string_view::npos;
        at = tab + 1;
        return true;
    };
    std::string_view field;
    double seconds = 0.0;
    if (!next(field) || !ParseField(field, frameNumber) || !next(field) || !ParseField(field, seconds)) return false;
    time.SetSecondDouble(seconds);

    std::string_view coordinates[3];
    while (more) {
        int read = 0;
        while (read < 3 && next(coordinates[read])) ++read;
        // A tab (or our own writer's blank) at the end of the row starts no point.
        if (read == 1 && !more && Trim(coordinates[0]).empty()) break;
        if (read < 3) return false;
        KZeqVector4 point;
        for (int c = 0; c < 3; ++c) {
            double value = 0.0;
            if (Trim(coordinates[c]).empty())
                point.SetAt(3, 1.0);
            else if (!ParseField(coordinates[c], value))
                return false;
            point.SetAt(c, value);
        }
        if (frame.Add(point) < 0) return false;
    }
    return true;
}

bool KZeqFileMotionAnalysisTrc::PrintHeader(int markerCount, KTime start, int frameCount, double frameRate, double) {
    const std::string rate = RateText(frameRate);
    // The frame numbers start at 1; half a frame rounds up.
    const double first = std::floor(start.GetSecondDouble() * frameRate + 1.0 + 0.5);
    const int startFrame = !(first > -2147483647.0) ? (first < 0.0 ? -2147483647 : 1)
                           : first >= 2147483647.0 ? 2147483647 : static_cast<int>(first);
    return Print(0, "PathFileType\t4\t(X/Y/Z)\tVeltrix\t\n") &&
           Print(0, "DataRate\tCameraRate\tNumFrames\tNumMarkers\tUnits\tOrigDataRate\tOrigDataStartFrame\tOrigNumFrames\t\n") &&
           Print(0, "%s\t%s\t%d\t%d\tmm\t%s\t%d\t%d\t\n", rate.c_str(), rate.c_str(), frameCount, markerCount, rate.c_str(),
                 startFrame, frameCount);
}

bool KZeqFileMotionAnalysisTrc::PrintAnimationHeader(KArrayTemplate<KString*>& names) {
    mRow = "Frame#\tTime\t";
    for (int i = 0; i < names.GetCount(); ++i) {
        // A tab or a line end inside a name would shift every column after it.
        std::string name = names[i]->Buffer();
        std::replace_if(name.begin(), name.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, '_');
        mRow += name;
        mRow += "\t\t\t";
    }
    mRow += "\n\t\t";
    for (int n = 1; n <= names.GetCount(); ++n) {
        const std::string number = std::to_string(n);
        mRow += "X" + number + "\tY" + number + "\tZ" + number + "\t";
    }
    mRow += "\n\n";
    return Print(0, "%s", mRow.c_str());
}

bool KZeqFileMotionAnalysisTrc::PrintAnimationFrame(KZeqVector4* points, int count, KTime time, int frameIndex) {
    mRow = std::to_string(frameIndex);
    mRow += '\t';
    AppendFixed(mRow, time.GetSecondDouble(), 3);
    for (int i = 0; i < count; ++i) {
        const KZeqVector4& p = points[i];
        if (p.GetAt(3) > 0.5) {
            mRow += "\t\t\t";
            continue;
        }
        for (int c = 0; c < 3; ++c) {
            mRow += '\t';
            AppendFixed(mRow, p.GetAt(c) * 10.0, 5);
        }
    }
    mRow += " \n";
    return Print(0, "%s", mRow.c_str());
}

}  // namespace zeqsdk_400
