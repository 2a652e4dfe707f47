#ifndef ZEQ_SCENE_TESTS_KFILETRANSFORM_SUPPORT_H
#define ZEQ_SCENE_TESTS_KFILETRANSFORM_SUPPORT_H

// A node's transform evaluated from the values a Zeq file holds, written on plain doubles apart
// from the SDK's own math, so that tests of the SDK's evaluation and of the writers built on it
// compare against something that shares none of their code.
//
// Row vectors (p' = p * M, translation in row 3). From the point outwards: inverse scaling pivot,
// scaling, scaling pivot, scaling offset, inverse rotation pivot, inverse post-rotation, rotation
// in the node's order (a rotation layer's turn first, in the same order), pre-rotation, rotation
// pivot, rotation offset, translation; then the parent's global matrix. The geometric transform
// (scaling, rotation XYZ, translation) comes before all of it, for what the node itself holds
// only. Pre- and post-rotation take part only when rotation is active.

#include <array>
#include <cmath>

namespace zeqtest {

using Mat4 = std::array<std::array<double, 4>, 4>;

struct FileTransformValues {
    double t[3]{};
    double r[3]{};
    double s[3]{1, 1, 1};
    double rotationOffset[3]{};
    double rotationPivot[3]{};
    double preRotation[3]{};
    double postRotation[3]{};
    double scalingOffset[3]{};
    double scalingPivot[3]{};
    double geometricT[3]{};
    double geometricR[3]{};
    double geometricS[3]{1, 1, 1};
    double layerRotation[3]{};  // a rotation layer's angles, which turn before r
    int rotationOrder = 0;  // 0 XYZ, 1 XZY, 2 YZX, 3 YXZ, 4 ZXY, 5 ZYX, 6 spheric (as XYZ)
    bool rotationActive = true;
};

inline Mat4 Identity() {
    Mat4 m{};
    for (int i = 0; i < 4; ++i) m[i][i] = 1.0;
    return m;
}

// a applied first, then b.
inline Mat4 Multiply(const Mat4& a, const Mat4& b) {
    Mat4 m{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) m[i][j] += a[i][k] * b[k][j];
    return m;
}

inline Mat4 TranslationMatrix(const double (&v)[3], double sign = 1.0) {
    Mat4 m = Identity();
    for (int i = 0; i < 3; ++i) m[3][i] = sign * v[i];
    return m;
}

inline Mat4 ScalingMatrix(const double (&v)[3]) {
    Mat4 m = Identity();
    for (int i = 0; i < 3; ++i) m[i][i] = v[i];
    return m;
}

// A turn of degrees about one axis (0 X, 1 Y, 2 Z), counter-clockwise looking down the axis.
inline Mat4 AxisMatrix(int axis, double degrees) {
    const double a = degrees * 3.14159265358979323846 / 180.0;
    const double c = std::cos(a), s = std::sin(a);
    const int u = (axis + 1) % 3, w = (axis + 2) % 3;
    Mat4 m = Identity();
    m[u][u] = c;
    m[u][w] = s;
    m[w][u] = -s;
    m[w][w] = c;
    return m;
}

// The axes in the order they turn the point; an unknown order turns as XYZ.
inline Mat4 EulerMatrix(const double (&degrees)[3], int order) {
    static const int kAxes[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 2, 0}, {1, 0, 2}, {2, 0, 1}, {2, 1, 0}};
    const int* axes = kAxes[(order >= 0 && order < 6) ? order : 0];
    Mat4 m = Identity();
    for (int i = 0; i < 3; ++i) m = Multiply(m, AxisMatrix(axes[i], degrees[axes[i]]));
    return m;
}

// A rotation's inverse is its transpose.
inline Mat4 Transposed3(const Mat4& r) {
    Mat4 m = Identity();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m[i][j] = r[j][i];
    return m;
}

// The local matrix with rotation standing for the node's turn (its layers' and its own), v.r and
// v.layerRotation aside.
inline Mat4 FileLocalMatrix(const FileTransformValues& v, const Mat4& rotation) {
    const double zero[3] = {0, 0, 0};
    const Mat4 pre = EulerMatrix(v.rotationActive ? v.preRotation : zero, 0);
    const Mat4 post = EulerMatrix(v.rotationActive ? v.postRotation : zero, 0);
    const Mat4 steps[] = {
        TranslationMatrix(v.scalingPivot, -1.0),  ScalingMatrix(v.s),
        TranslationMatrix(v.scalingPivot),        TranslationMatrix(v.scalingOffset),
        TranslationMatrix(v.rotationPivot, -1.0), Transposed3(post),
        rotation,                                 pre,
        TranslationMatrix(v.rotationPivot),       TranslationMatrix(v.rotationOffset),
        TranslationMatrix(v.t),
    };
    Mat4 m = Identity();
    for (const Mat4& step : steps) m = Multiply(m, step);
    return m;
}

inline Mat4 FileLocalMatrix(const FileTransformValues& v) {
    return FileLocalMatrix(v, Multiply(EulerMatrix(v.layerRotation, v.rotationOrder), EulerMatrix(v.r, v.rotationOrder)));
}

inline Mat4 FileGeometricMatrix(const FileTransformValues& v) {
    return Multiply(Multiply(ScalingMatrix(v.geometricS), EulerMatrix(v.geometricR, 0)),
                    TranslationMatrix(v.geometricT));
}

inline std::array<double, 3> Apply(const Mat4& m, const std::array<double, 3>& p) {
    std::array<double, 3> out{};
    for (int j = 0; j < 3; ++j) out[j] = p[0] * m[0][j] + p[1] * m[1][j] + p[2] * m[2][j] + m[3][j];
    return out;
}

}  // namespace zeqtest

#endif
