// Lights: a point, directional or spot light shape "<name>Shape" under a new transform. Their
// values come later, with the animation.
#include <string>

#include "content/kzeqlight.h"
#include "plugin/import/zeqtuloimport.h"
#include "tfnlight.h"
#include "tfntransform.h"

using namespace zeqsdk_400;

void ZeqTuloImport::CreateLightGeometry(ZeqTuloNode& node) {
    KZeqLight* light = node.GetLight();
    if (!light) return;
    ZeqTuloNode* parent = static_cast<ZeqTuloNode*>(node.GetParent());
    const TDagPath* parentPath = parent ? parent->GetDagPath() : nullptr;
    const TObject parentObject = parentPath ? parentPath->node() : TObject::kNullObj;
    const std::string name = node.GetNameWithoutNameSpacePrefix().Buffer();
    const TString shapeName((name + "Shape").c_str());

    TStatus status;
    TObject shape;
    switch (light->GetLightType()) {
        case KZeqLight::ePOINT: {
            TFnPointLight point;
            shape = point.create(parentObject, true, &status);
            if (status) point.setName(shapeName);
            break;
        }
        case KZeqLight::eINFINITE: {
            TFnDirectionalLight directional;
            shape = directional.create(parentObject, true, &status);
            if (status) directional.setName(shapeName);
            break;
        }
        case KZeqLight::eSPOT: {
            TFnSpotLight spot;
            shape = spot.create(parentObject, true, &status);
            if (status) spot.setName(shapeName);
            break;
        }
        default: {
            // A type the host has no light for: nothing is made, and the node is passed by later.
            const std::string line = "Light " + name + ": light type " + std::to_string(light->GetLightType()) +
                                     " is unknown; no light is made.";
            LogLine(line.c_str());
            return;
        }
    }
    if (!status) {
        status.perror("Cannot create Light");
        return;
    }
    TFnLight lightSet(shape, &status);
    if (!status) return;
    const TObject transformObject = lightSet.parent(0, &status);
    if (!status) return;
    TFnTransform transform(transformObject, &status);
    if (!status) return;
    TDagPath path;
    status = transform.getPath(path);
    if (!status) return;
    node.SetShapeObject(&shape);
    node.SetDagPath(&path);
    AddUserProperties(transform, &node);
    transform.setName(TString(name.c_str()));
}
