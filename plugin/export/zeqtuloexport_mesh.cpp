// One host polygon mesh as a Zeq mesh: control points, polygons and normals here, then vertex
// colours and the layers of materials, textures and UV sets. Topology comes from the final mesh
// (deformers applied), positions from the skin's input data when there is one, polygon sizes and
// normals from the base mesh.
#include "content/kzeqmesh.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/zeqtulodialogs.h"
#include "plugin/zeqtulouserparams.h"
#include "tfncomponent.h"
#include "tfnmesh.h"

using namespace zeqsdk_400;

namespace {

KZeqVector4 Normal(double x, double y, double z) { return KZeqVector4(x, y, z, 1.0); }

}  // namespace

void ZeqTuloExport::WriteNodeMesh(TFnMesh& finalMesh, ZeqTuloNode* node, TObject& baseMesh, TObject& inputData) {
    KZeqMesh* mesh = mSdkManager.CreateKZeqMesh();
    if (!mesh || !node) return;
    TFnMesh base(baseMesh);
    const int vertexCount = base.numVertices();
    const int polygonCount = base.numPolygons();
    if (finalMesh.numVertices() != vertexCount || finalMesh.numPolygons() != polygonCount) {
        const char* mismatch = "Mismatched number of vertices between the original and the final mesh of the node:  ";
        const char* cause = "This problem is most likely caused by unsupported operators in the construction hystory.";
        KString line("ZEQ Export Warning: ");
        line += mismatch;
        line += node->GetName();
        if (mLog) {
            *mLog += line.Buffer();
            *mLog += cause;
            *mLog += "";
        }
        if (ZeqTuloUserParams::Instance()->GetBoolParam(ZeqTuloUserParams::kExportShowUI)) {
            KString message(mismatch);
            message += node->GetName();
            message += "\\n\\n";
            message += cause;
            ZeqTuloConfirmDialog dialog;
            dialog.Title("ZEQ Export Warning");
            dialog.Message(message);
            dialog.Button(0, "Ok");
            dialog.Pop();
        }
        node->mGeometryMismatch = true;
        node->mMeshMismatch = true;
        return;
    }
    node->SetNodeAttribute(mesh);
    node->SetShadingMode(KZeqNode::eTEXTURE_SHADING);
    mesh->InitControlPoints(vertexCount);

    const int normalCount = base.numNormals();
    TDagPath shapePath;
    finalMesh.getPath(shapePath);
    shapePath.extendToShape();
    const unsigned instance = shapePath.isInstanced() ? shapePath.instanceNumber() : 0;

    const bool byPolygonVertex =
        ZeqTuloUserParams::Instance()->GetBoolParam(ZeqTuloUserParams::kExportHardEdges) && normalCount > vertexCount;
    if (!byPolygonVertex) mesh->InitNormals(0);

    // Positions: the skin's input data when given, else the base mesh.
    TFnMesh inputFn;
    TFnMesh* source = &base;
    if (!inputData.isNull() && inputFn.setObject(inputData)) source = &inputFn;

    KZeqVector4* points = mesh->GetControlPoints();
    KZeqVector4* normals = byPolygonVertex ? nullptr : mesh->GetNormals();
    long long faceVertexTotal = 0;
    {
        TItMeshVertex vertices(shapePath);
        TVectorArray vertexNormals;
        TPoint point;
        TVector normal;
        for (int i = 0; i < vertexCount; ++i, vertices.next()) {
            source->getPoint(i, point, TSpace::kObject);
            points[i] = KZeqVector4(point.x, point.y, point.z, point.w);
            vertexNormals.clear();
            if (!vertices.isDone()) vertices.getNormals(vertexNormals, TSpace::kObject);
            faceVertexTotal += vertexNormals.length();
            if (!normals) continue;
            if (vertexNormals.length() == 1) {
                normals[i] = Normal(vertexNormals[0].x, vertexNormals[0].y, vertexNormals[0].z);
            } else {
                source->getVertexNormal(i, normal, TSpace::kObject);
                normals[i] = Normal(normal.x, normal.y, normal.z);
            }
        }
    }

    TFloatVectorArray baseNormals;
    if (byPolygonVertex) {
        base.getNormals(baseNormals, TSpace::kObject);
        mesh->InitNormals(faceVertexTotal > INT32_MAX ? 0 : static_cast<int>(faceVertexTotal));
        normals = mesh->GetNormals();
    }
    const int normalSlots = byPolygonVertex && normals ? static_cast<int>(faceVertexTotal) : 0;
    const unsigned baseNormalCount = baseNormals.length();
    TItMeshPolygon polygons(shapePath);
    int c = 0;
    TVector vertexNormal;
    for (int p = 0; p < polygonCount; ++p) {
        mesh->BeginPolygon(-1, -1, -1);
        const int n = base.polygonVertexCount(p);
        for (int k = 0; k < n; ++k) {
            TStatus status;
            const int vertex = polygons.isDone() ? -1 : polygons.vertexIndex(k, &status);
            if (!status || vertex < 0 || vertex >= vertexCount) continue;  // no such face-vertex in the final mesh
            mesh->AddPolygon(vertex, -1);
            if (!normalSlots) continue;
            if (c < normalSlots) {
                const int index = polygons.normalIndex(k, &status);
                // The final mesh's normal index may lie beyond the base mesh's array: the vertex normal then.
                if (status && index >= 0 && static_cast<unsigned>(index) < baseNormalCount) {
                    const TFloatVector& v = baseNormals[static_cast<unsigned>(index)];
                    normals[c] = Normal(v.x, v.y, v.z);
                } else {
                    source->getVertexNormal(vertex, vertexNormal, TSpace::kObject);
                    normals[c] = Normal(vertexNormal.x, vertexNormal.y, vertexNormal.z);
                }
            }
            ++c;
        }
        polygons.next();
        mesh->EndPolygon();
    }

    SetVertexColors(mesh, finalMesh);
    WriteMeshLayers(finalMesh, node, mesh, instance);
}
