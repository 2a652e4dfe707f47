#ifndef ZEQ_PLUGIN_ZEQTULOUTILITY_H
#define ZEQ_PLUGIN_ZEQTULOUTILITY_H

#include "base/kstring.h"
#include "tdagpath.h"

namespace zeqsdk_400 {
class KFCurve;
}

// Stateless helpers on host nodes, paths, plugs and transforms shared by the export, the import
// and the commands. Every member is static.
class ZeqTuloUtility {
public:
    ZeqTuloUtility() = delete;

    // ---- Names and paths (zeqtuloutility_strings.cpp)
    // A copy of text with every occurrence of find replaced, in a buffer that the next call
    // overwrites. The search goes on after each replacement, so a replacement holding the searched
    // text is not searched again.
    static char* Replace(const char* text, const char* find, const char* with);
    static zeqsdk_400::KString& Replace(zeqsdk_400::KString& text, const char* find, const char* with);
    // Cuts text to the part from the first open (kept) up to the next close (dropped), or to the
    // end; false, text unchanged, when open does not occur.
    static bool GetStringBetweenToken(zeqsdk_400::KString& text, char open, char close);
    // The host's default cameras and their shapes, and the producer cameras (exact names).
    static bool IsCameraNameReserved(const char* name);
    // The path's full name with "|" shown as " / ", cut to 87 + " ... " + 88 characters past 180;
    // empty for a null path.
    static zeqsdk_400::KString MakeReadablePath(const TDagPath* path);
    static zeqsdk_400::KString MakeItReadable(const zeqsdk_400::KString& text);
    // One of 20 curve colours; the index wraps both ways.
    static void SetShapeCurveColor(zeqsdk_400::KFCurve& curve, int index);
};

// ---- Names and paths (zeqtuloutility_strings.cpp)
// Appends the blank-separated parts of in to out (out is not cleared).
void SpaceRemover(const TString& in, TString& out);
// The first DAG path (breadth first) whose partial or full name equals name.
bool ExtractPartialPath(TString name, TDagPath& found);
bool ExtractFullPath(TString name, TDagPath& found);
// Full names (beginning with "|") by full path, others by partial path.
bool ExtractPath(TString name, TDagPath& found);

#endif
