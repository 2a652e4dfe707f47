// World positions straight from channel values: plain rotation matrices in
// the column-vector convention, no Euler angles in between.
#include <cmath>

#include "formats/motion/testkit/zeqmotiontestkit.h"

namespace zeqmotiontest {

Mat3 RefAxisRotation(int axis, double degrees) {
    const double radians = degrees * M_PI / 180.0;
    const double c = std::cos(radians), s = std::sin(radians);
    const int u = (axis + 1) % 3, v = (axis + 2) % 3;
    Mat3 m{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    m[u][u] = c;
    m[u][v] = -s;
    m[v][u] = s;
    m[v][v] = c;
    return m;
}

const std::vector<double>& NearQuarterTurns() {
    static const std::vector<double> turns = {89.9,   89.92,  89.95,  89.97,  90.0,   90.03,  90.05,  90.08,  90.1,
                                              -89.9,  -89.92, -89.95, -89.97, -90.0,  -90.03, -90.05, -90.08, -90.1};
    return turns;
}

Mat3 RefMultiply(const Mat3& a, const Mat3& b) {
    Mat3 m{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
    return m;
}

int RefSkeleton::ChannelCount() const {
    int count = 0;
    for (const RefJoint& joint : mJoints) count += static_cast<int>(joint.mChannels.size());
    return count;
}

namespace {

Vec3 Apply(const Mat3& m, const Vec3& p) {
    return {m[0][0] * p[0] + m[0][1] * p[1] + m[0][2] * p[2], m[1][0] * p[0] + m[1][1] * p[1] + m[1][2] * p[2],
            m[2][0] * p[0] + m[2][1] * p[1] + m[2][2] * p[2]};
}

}  // namespace

std::vector<Vec3> RefWorldPositions(const RefSkeleton& skeleton, const std::vector<double>& row) {
    const std::size_t count = skeleton.mJoints.size();
    std::vector<Mat3> rotations(count);
    std::vector<Vec3> positions(count);
    std::size_t next = 0;
    for (std::size_t j = 0; j < count; ++j) {
        const RefJoint& joint = skeleton.mJoints[j];
        Vec3 t = joint.mOffset;
        Mat3 r{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
        for (RefChannel channel : joint.mChannels) {
            const double value = next < row.size() ? row[next] : 0.0;
            ++next;
            const int kind = static_cast<int>(channel);
            if (kind < 3) {
                t[kind] = skeleton.mPosition == RefPosition::kReplacesOffset ? value : joint.mOffset[kind] + value;
                continue;
            }
            // Column vectors: the factor on the right turns a vector first.
            const Mat3 turn = RefAxisRotation(kind - 3, value);
            r = skeleton.mRotationOrder == RefRotationOrder::kLastListedFirst ? RefMultiply(r, turn)
                                                                                : RefMultiply(turn, r);
        }
        const Mat3 local = RefMultiply(RefMultiply(joint.mPre, r), joint.mPost);
        if (joint.mParent < 0) {
            rotations[j] = local;
            positions[j] = t;
        } else {
            const std::size_t p = static_cast<std::size_t>(joint.mParent);
            rotations[j] = RefMultiply(rotations[p], local);
            const Vec3 moved = Apply(rotations[p], t);
            positions[j] = {positions[p][0] + moved[0], positions[p][1] + moved[1], positions[p][2] + moved[2]};
        }
    }
    return positions;
}

MotionSnapshot ReferenceSnapshot(const RefSkeleton& skeleton, const std::vector<std::vector<double>>& rows) {
    MotionSnapshot sample;
    const int count = static_cast<int>(skeleton.mJoints.size());
    std::vector<std::vector<int>> children(static_cast<std::size_t>(count));
    for (int j = 0; j < count; ++j)
        if (skeleton.mJoints[j].mParent >= 0) children[static_cast<std::size_t>(skeleton.mJoints[j].mParent)].push_back(j);
    // Depth first from the first joint; where each joint lands in the sample.
    std::vector<int> order;
    std::vector<int> slot(static_cast<std::size_t>(count), -1);
    std::vector<int> pending;
    if (count > 0) pending.push_back(0);
    while (!pending.empty()) {
        const int j = pending.back();
        pending.pop_back();
        slot[static_cast<std::size_t>(j)] = static_cast<int>(order.size());
        order.push_back(j);
        const std::vector<int>& kids = children[static_cast<std::size_t>(j)];
        pending.insert(pending.end(), kids.rbegin(), kids.rend());
    }
    for (int j : order) {
        const RefJoint& joint = skeleton.mJoints[static_cast<std::size_t>(j)];
        sample.mNames.push_back(joint.mName);
        sample.mParents.push_back(joint.mParent < 0 ? -1 : slot[static_cast<std::size_t>(joint.mParent)]);
        sample.mOffsets.push_back(joint.mOffset);
    }
    for (const std::vector<double>& row : rows) {
        const std::vector<Vec3> positions = RefWorldPositions(skeleton, row);
        std::vector<Vec3> ordered;
        for (int j : order) ordered.push_back(positions[static_cast<std::size_t>(j)]);
        sample.mPositions.push_back(std::move(ordered));
    }
    return sample;
}

}  // namespace zeqmotiontest
