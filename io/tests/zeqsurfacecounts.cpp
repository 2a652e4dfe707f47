#include "io/tests/zeqsurfacecounts.h"

#include <cctype>

#include "content/kzeqnurb.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace zeqiotest {

const SurfaceCountEdit kSurfaceCountEdits[5] = {
    {"OnePointValueFewer", "Points", SurfaceCountEdit::eDropValue,
     "Control point definition error (wrong number of data)."},
    {"OnePointValueMore", "Points", SurfaceCountEdit::eAddValue,
     "Control point definition error (wrong number of data)."},
    {"OneKnotMoreU", "KnotVectorU", SurfaceCountEdit::eAddValue,
     "U knot vector definition error (wrong number of data)."},
    {"KnotLineMissingV", "KnotVectorV", SurfaceCountEdit::eDropLine,
     "V knot vector definition error (wrong number of data)."},
    {"OneMultiplicityMoreU", "MultiplicityU", SurfaceCountEdit::eAddValue,
     "Multiplicity U definition error (wrong number of data)."},
};

void BuildSurfaceCountScene(KZeqSdkManager& manager, KZeqScene& scene) {
    for (int s = 0; s < 2; ++s) {
        KZeqNurb* nurb = manager.CreateKZeqNurb();
        nurb->SetOrder(4, 3);
        nurb->InitControlPoints(6, KZeqNurb::eOPEN, 14, KZeqNurb::eOPEN);
        for (int i = 0; i < nurb->GetControlPointsCount(); ++i)
            nurb->GetControlPoints()[i] = KZeqVector4(i % 6, i / 6, 0.5 * (i % 3), 1.0);
        // Sevenths print long: the knots fill more than a line.
        for (int i = 0; i < nurb->GetUKnotCount(); ++i) nurb->GetUKnotVector()[i] = i / 7.0;
        for (int i = 0; i < nurb->GetVKnotCount(); ++i) nurb->GetVKnotVector()[i] = i / 7.0;
        KZeqNode* node = manager.CreateKZeqNode(s ? "Whole" : "Surf");
        node->SetNodeAttribute(nurb);
        node->SetDefaultT(s ? KZeqVector4(4, 5, 6, 1) : KZeqVector4(1, 2, 3, 1));
        scene.GetRootNode()->AddChild(node);
    }
}

bool EditSurfaceCounts(std::string& text, const SurfaceCountEdit& edit) {
    const std::string key = std::string(edit.mField) + ":";
    std::size_t field = text.find("Model: \"Model::Surf\"");
    // The field's name at the start of a line, after its indentation.
    while (field != std::string::npos) {
        field = text.find(key, field + 1);
        if (field == std::string::npos || text[field - 1] == '\t' || text[field - 1] == '\n') break;
    }
    if (field == std::string::npos) return false;
    const std::size_t values = text.find_first_not_of(' ', field + key.size());
    const std::size_t end = text.find('\n', values);
    if (values == std::string::npos || end == std::string::npos) return false;
    switch (edit.mHow) {
        case SurfaceCountEdit::eAddValue:
            text.insert(values, "1,");
            return true;
        case SurfaceCountEdit::eDropValue: {
            const std::size_t comma = text.find(',', values);
            if (comma == std::string::npos || comma > end) return false;
            text.erase(values, comma + 1 - values);
            return true;
        }
        case SurfaceCountEdit::eDropLine: {
            // A line of values that another follows: the field still ends where it did.
            const std::size_t next = text.find('\n', end + 1);
            const std::size_t first = text.find_first_not_of('\t', end + 1);
            if (next == std::string::npos || first >= next || !std::isdigit(static_cast<unsigned char>(text[first])) ||
                text[next - 1] != ',')
                return false;
            text.erase(end + 1, next - end);
            return true;
        }
    }
    return false;
}

}  // namespace zeqiotest
