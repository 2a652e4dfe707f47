// Animation curve evaluation. Slopes are internal units per second; lengths are seconds.
// Segments are Hermite, or Bezier with handles (t0 + l0, v0 + l0 m0), (t1 - l1, v1 - l1 m1) on
// weighted curves; out-tangent type 5 (step) holds the key's value; extrapolation is constant.
#include <algorithm>
#include <cmath>

#include "curvemath.h"
#include "scene.h"

namespace tulo_detail {

namespace {
double chord(const std::vector<Key>& k, std::size_t a, std::size_t b) {
    double dt = k[b].t - k[a].t;
    return dt > 0 ? (k[b].v - k[a].v) / dt : 0;
}

double smooth(const std::vector<Key>& k, std::size_t i) {
    std::size_t n = k.size();
    if (n < 2) return 0;
    if (i == 0) return chord(k, 0, 1);
    if (i == n - 1) return chord(k, n - 2, n - 1);
    return chord(k, i - 1, i + 1);
}
}  // namespace

double keySlope(const CurveData& c, std::size_t i, bool in) {
    const std::vector<Key>& k = c.keys;
    std::size_t n = k.size();
    int type = in ? k[i].inType : k[i].outType;
    switch (type) {
    case kFixed: return in ? k[i].inM : k[i].outM;
    case kLinear:
        if (n < 2) return 0;
        if (in) return i > 0 ? chord(k, i - 1, i) : chord(k, 0, 1);
        return i + 1 < n ? chord(k, i, i + 1) : chord(k, n - 2, n - 1);
    case kFlat:
    case kStep: return 0;
    case kClamped:
        if (i > 0 && i + 1 < n) {
            double v = k[i].v, a = k[i - 1].v, b = k[i + 1].v;
            if ((v >= a && v >= b) || (v <= a && v <= b)) return 0;
        }
        return smooth(k, i);
    default: return smooth(k, i);
    }
}

double keyLength(const CurveData& c, std::size_t i, bool in) {
    const std::vector<Key>& k = c.keys;
    int type = in ? k[i].inType : k[i].outType;
    bool hasSegment = in ? i > 0 : i + 1 < k.size();
    if (type == kFixed || !hasSegment) return in ? k[i].inL : k[i].outL;
    return (in ? k[i].t - k[i - 1].t : k[i + 1].t - k[i].t) / 3;
}

double evalCurve(const CurveData& c, double t) {
    const std::vector<Key>& k = c.keys;
    if (k.empty()) return 0;
    if (!(t > k.front().t)) return k.front().v;  // NaN takes the first value too
    if (t >= k.back().t) return k.back().v;
    std::size_t i = static_cast<std::size_t>(
        std::upper_bound(k.begin(), k.end(), t, [](double x, const Key& key) { return x < key.t; }) - k.begin() - 1);
    const Key& a = k[i];
    const Key& b = k[i + 1];
    if (a.outType == kStep) return a.v;
    double dt = b.t - a.t;
    double m0 = keySlope(c, i, false), m1 = keySlope(c, i + 1, true);
    if (!c.weighted) {
        double s = (t - a.t) / dt, s2 = s * s, s3 = s2 * s;
        return (2 * s3 - 3 * s2 + 1) * a.v + (s3 - 2 * s2 + s) * dt * m0 + (-2 * s3 + 3 * s2) * b.v +
               (s3 - s2) * dt * m1;
    }
    double l0 = std::min(std::max(keyLength(c, i, false), 0.0), dt);
    double l1 = std::min(std::max(keyLength(c, i + 1, true), 0.0), dt);
    auto bez = [](double p0, double p1, double p2, double p3, double u) {
        double w = 1 - u;
        return w * w * w * p0 + 3 * w * w * u * p1 + 3 * w * u * u * p2 + u * u * u * p3;
    };
    // Time by bisection, sped up by Newton steps that stay inside the bracket.
    double x1 = a.t + l0, x2 = b.t - l1;
    double lo = 0, hi = 1, u = (t - a.t) / dt;
    for (int it = 0; it < 64 && hi - lo > 1e-16; ++it) {
        double w = 1 - u;
        double err = bez(a.t, x1, x2, b.t, u) - t;
        if (std::fabs(err) <= 1e-15 * dt) break;
        (err < 0 ? lo : hi) = u;
        double slope = 3 * (w * w * (x1 - a.t) + 2 * w * u * (x2 - x1) + u * u * (b.t - x2));
        double next = slope > 0 ? u - err / slope : lo;
        u = next > lo && next < hi ? next : (lo + hi) / 2;
    }
    return bez(a.v, a.v + l0 * m0, b.v - l1 * m1, b.v, u);
}

double curveInput(std::uint32_t curveNode) {
    const NodeRec& n = scene().nodes[curveNode];
    if (!n.curve || n.curve->type < 4) return scene().currentTime;
    return plugNumber(curveNode, "input");
}

}  // namespace tulo_detail
