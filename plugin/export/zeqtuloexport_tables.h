#ifndef ZEQ_PLUGIN_EXPORT_ZEQTULOEXPORT_TABLES_H
#define ZEQ_PLUGIN_EXPORT_ZEQTULOEXPORT_TABLES_H

// Small tables of the export shared by its transform, limit and binding files.

// Host rotation orders 1 to 6 (XYZ, YZX, ZXY, XZY, YXZ, ZYX) as the Zeq order of the same axis
// sequence (0 XYZ, 1 XZY, 2 YZX, 3 YXZ, 4 ZXY, 5 ZYX); -1 for any other host value.
inline int ZeqRotationOrderOfHost(int hostOrder) {
    static const int kOrders[7] = {-1, 0, 2, 4, 1, 3, 5};
    return hostOrder >= 1 && hostOrder <= 6 ? kOrders[hostOrder] : -1;
}

// Host type values the export asks hasFn and the iterators about.
enum : int {
    kHostTransform = 109,
    kHostLookAt = 111,
    kHostCamera = 244,
    kHostClusterHandle = 245,
    kHostLocator = 275,
    kHostNurbsSurface = 288,
    kHostMesh = 290,
    kHostLight = 296,
    kHostAmbientLight = 297,
    kHostAreaLight = 299,
    kHostDirectionalLight = 302,
    kHostPointLight = 303,
    kHostSpotLight = 304,
    kHostBlendShape = 330,
    kHostCluster = 338,
    kHostSecondCluster = 340,
    kHostSet = 454,
    kHostAnyDagItem = 518,
    kHostSurfaceCVComponent = 525,
    kHostMeshVertexComponent = 537,
    kHostSkinCluster = 665,
    kHostVolumeLight = 859,
};

// User options of the export read by index.
enum : unsigned int {
    kExportBindPoseOption = 14,
    kExportPivotToNullOption = 15,
    kExportApplyCstKeyRedOption = 16,
};

constexpr double kExportRadiansToDegrees = 57.29577951308232;
constexpr char kExportTakeName[] = "Take 001";

#endif
