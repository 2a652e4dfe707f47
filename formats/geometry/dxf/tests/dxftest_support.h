#ifndef ZEQ_FORMATS_GEOMETRY_DXF_TESTS_DXFTEST_SUPPORT_H
#define ZEQ_FORMATS_GEOMETRY_DXF_TESTS_DXFTEST_SUPPORT_H

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "formats/geometry/tests/geometrytest_support.h"
#include "io/kstreamoptionsdxf.h"

namespace zeqtest {

// DXF text of group codes and values.
typedef std::vector<std::pair<int, std::string>> Pairs;

inline std::string Text(const Pairs& pairs) {
    std::ostringstream out;
    for (const auto& pair : pairs) out << pair.first << "\n" << pair.second << "\n";
    return out.str();
}

inline Pairs operator+(Pairs a, const Pairs& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A number written to read back exactly.
inline std::string Number(double value) {
    std::ostringstream out;
    out.precision(17);
    out << value;
    return out.str();
}

inline Pairs Point(int code, double x, double y, double z) {
    return {{code, Number(x)}, {code + 10, Number(y)}, {code + 20, Number(z)}};
}

inline Pairs Line(double x0, double y0, double z0, double x1, double y1, double z1, const char* layer = "0",
                  int color = -1) {
    Pairs pairs{{0, "LINE"}, {8, layer}};
    if (color >= 0) pairs.push_back({62, std::to_string(color)});
    return pairs + Point(10, x0, y0, z0) + Point(11, x1, y1, z1);
}

inline Pairs Face(std::vector<std::vector<double>> corners, const char* layer = "0", int color = -1) {
    Pairs pairs{{0, "3DFACE"}, {8, layer}};
    if (color >= 0) pairs.push_back({62, std::to_string(color)});
    if (corners.size() == 3) corners.push_back(corners[2]);
    for (int i = 0; i < 4; ++i) pairs = pairs + Point(10 + i, corners[i][0], corners[i][1], corners[i][2]);
    return pairs;
}

inline Pairs Section(const char* name, const Pairs& content) {
    return Pairs{{0, "SECTION"}, {2, name}} + content + Pairs{{0, "ENDSEC"}};
}

// A file of a layer table (name, colour; no colour below 0 is written as
// none), blocks and entities.
inline std::string File(const Pairs& entities, const std::vector<std::pair<std::string, int>>& layers = {},
                        const Pairs& blocks = {}) {
    Pairs table{{0, "TABLE"}, {2, "LAYER"}, {70, std::to_string(layers.size())}};
    for (const auto& layer : layers) {
        table = table + Pairs{{0, "LAYER"}, {2, layer.first}, {70, "0"}};
        if (layer.second != -1000) table.push_back({62, std::to_string(layer.second)});
    }
    table.push_back({0, "ENDTAB"});
    return Text(Section("TABLES", table) + Section("BLOCKS", blocks) + Section("ENTITIES", entities) + Pairs{{0, "EOF"}});
}

class DxfTest : public GeometryFormatTest {
protected:
    // Reads DXF text: by layer unless another grouping is asked (0 layer,
    // 1 block, 2 entity), without a reference node unless asked.
    bool ReadDxf(const std::string& text, int grouping = 0, bool weld = true, bool reference = false,
                 const char* name = "test.dxf") {
        return Import(WriteText(name, text), KZeqImporter::eAUTOCAD_DXF, [&](KStreamOptionsBase& options) {
            options.SetOption(KStreamOptionsBase::eLAYER_BLOCK_ENTITY, grouping);
            options.SetOption(KStreamOptionsBase::eWELD_VERTICES, weld);
            options.SetOption(KStreamOptionsBase::eCREATE_REFERENCE_NODE, reference);
        });
    }
    KZeqMesh* Mesh(const char* name) {
        KZeqNode* node = Node(name);
        return node ? node->GetMesh() : nullptr;
    }
    static std::vector<int> Polygon(KZeqMesh* mesh, int p) {
        std::vector<int> vertices;
        for (int v = 0; v < mesh->GetPolygonSize(p); ++v) vertices.push_back(mesh->GetPolygonVertex(p, v));
        return vertices;
    }
};

}  // namespace zeqtest

#endif
