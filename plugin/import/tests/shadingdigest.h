// What the export writes of shading and skinning, as comparable text: per geometry node, each
// polygon's material (or the one of a surface) with its values, each layer's texture with its file,
// placement, alpha and blend modes, and the skin links with their weights and bind matrices. Two
// files that hold the same materials, textures, links and bind matrices give the same text.
#pragma once

#include <string>

namespace zeqsdk_400 {
class KZeqScene;
}

namespace importtest {

// The scene's shading and skin links (cluster and additive links left out), sorted by node name.
std::string ShadingDigest(zeqsdk_400::KZeqScene& scene);
// The same for a Zeq file read through the SDK; "<unreadable>" when it cannot be read.
std::string ShadingDigest(const std::string& file);

}  // namespace importtest
