// Names and paths: replacement, path cutting, reserved camera names, readable paths, curve
// colours and finding a DAG path by name.
#include <cstring>

#include "fcurve/kfcurve.h"
#include "plugin/zeqtuloutility.h"
#include "titdag.h"

using namespace zeqsdk_400;

namespace {

const char* const kReservedCameraNames[] = {"persp",      "top",        "front",      "side",
                                            "perspShape", "topShape",   "frontShape", "sideShape",
                                            "Producer Perspective", "Producer Top", "Producer Front",
                                            "Producer Right"};

const float kCurveColors[20][3] = {
    {1, 0, 0},        {0, 1, 0},         {0, 0, 1},          {1, 1, 0},       {0, 1, 1},
    {1, 0, 1},        {0.47f, 0, 0},     {0.3f, 0.61f, 0},   {0.51f, 0.75f, 1}, {1, 0.49f, 0},
    {0.57f, 0, 1},    {1, 0.78f, 1},     {0, 0.35f, 0},      {1, 0.98f, 0.61f}, {0.65f, 0.49f, 0.31f},
    {0.8f, 0.8f, 0.8f}, {0.78f, 1, 0.61f}, {1, 0.86f, 0.73f}, {0.37f, 0, 0.37f}, {0.65f, 0.65f, 0},
};

const unsigned kReadableLength = 180;
const unsigned kReadableHead = 87;
const unsigned kReadableTail = 88;

// The path of the first item the iterator gives whose name equals name.
bool FindPath(const TString& name, TDagPath& found, bool full) {
    TStatus status;
    TItDag it(TItDag::kBreadthFirst, TFn::kDagNode, &status);
    if (!status) {
        status.perror("TItDag constructor");
        return false;
    }
    for (; !it.isDone(); it.next()) {
        TDagPath path;
        status = it.getPath(path);
        if (!status) {
            status.perror("TItDag::getPath");
            continue;
        }
        if ((full ? path.fullPathName() : path.partialPathName()) == name) {
            found = path;
            return true;
        }
    }
    return false;
}

}  // namespace

KString& ZeqTuloUtility::Replace(KString& text, const char* find, const char* with) {
    if (!find || !*find) return text;
    const unsigned skip = static_cast<unsigned>(std::strlen(with ? with : ""));
    for (int at = text.Find(find); at >= 0; at = text.Find(find, static_cast<unsigned>(at) + skip))
        text.FindAndReplace(find, with ? with : "", static_cast<unsigned>(at));
    return text;
}

char* ZeqTuloUtility::Replace(const char* text, const char* find, const char* with) {
    static KString buffer;
    buffer = text ? text : "";
    Replace(buffer, find, with);
    return buffer.Buffer();
}

bool ZeqTuloUtility::GetStringBetweenToken(KString& text, char open, char close) {
    const int start = text.Find(open);
    if (start < 0) return false;
    int end = text.Find(close, static_cast<unsigned>(start) + 1);
    if (end < 0) end = static_cast<int>(text.GetLen());
    text = text.Mid(static_cast<unsigned>(start), static_cast<unsigned>(end - start));
    return true;
}

bool ZeqTuloUtility::IsCameraNameReserved(const char* name) {
    if (!name) return false;
    for (const char* reserved : kReservedCameraNames)
        if (std::strcmp(name, reserved) == 0) return true;
    return false;
}

KString ZeqTuloUtility::MakeItReadable(const KString& text) {
    KString readable = text;
    return Replace(readable, "|", " / ");
}

KString ZeqTuloUtility::MakeReadablePath(const TDagPath* path) {
    if (!path) return KString();
    KString readable = MakeItReadable(KString(path->fullPathName().asChar()));
    if (readable.GetLen() <= kReadableLength) return readable;
    KString cut = readable.Left(kReadableHead);
    cut += " ... ";
    cut += readable.Right(kReadableTail);
    return cut;
}

void ZeqTuloUtility::SetShapeCurveColor(KFCurve& curve, int index) {
    int entry = index % 20;
    if (entry < 0) entry += 20;
    curve.SetColor(kCurveColors[entry]);
}

void SpaceRemover(const TString& in, TString& out) {
    TStringArray parts;
    in.split(' ', parts);
    for (unsigned i = 0; i < parts.length(); ++i) out += parts[i];
}

bool ExtractPartialPath(TString name, TDagPath& found) { return FindPath(name, found, false); }

bool ExtractFullPath(TString name, TDagPath& found) { return FindPath(name, found, true); }

bool ExtractPath(TString name, TDagPath& found) {
    return name.length() > 0 && name.asChar()[0] == '|' ? ExtractFullPath(name, found) : ExtractPartialPath(name, found);
}
