#include "bvhtestfiles.h"

#include <cmath>
#include <sstream>

namespace bvhtest {

BvhText ParseBvh(const std::string& text) {
    BvhText file;
    std::istringstream in(text);
    std::string word;
    std::vector<int> open;  // joints whose blocks are open
    int last = -1;          // the joint whose block the next "{" opens
    auto channel = [](const std::string& name) {
        const char* names[6] = {"Xposition", "Yposition", "Zposition", "Xrotation", "Yrotation", "Zrotation"};
        for (int i = 0; i < 6; ++i)
            if (name == names[i]) return static_cast<RefChannel>(i);
        return RefChannel::kTx;
    };
    while (in >> word) {
        if (word == "ROOT" || word == "JOINT" || word == "End") {
            RefJoint joint;
            if (word == "End") {
                in >> word;  // "Site"
                joint.mName = file.mSkeleton.mJoints[static_cast<std::size_t>(open.back())].mName + "_End";
            } else {
                in >> joint.mName;
            }
            joint.mParent = open.empty() ? -1 : open.back();
            file.mSkeleton.mJoints.push_back(joint);
            last = static_cast<int>(file.mSkeleton.mJoints.size()) - 1;
        } else if (word == "{") {
            open.push_back(last);
        } else if (word == "}") {
            open.pop_back();
        } else if (word == "OFFSET") {
            Vec3& offset = file.mSkeleton.mJoints[static_cast<std::size_t>(open.back())].mOffset;
            in >> offset[0] >> offset[1] >> offset[2];
        } else if (word == "CHANNELS") {
            int count = 0;
            in >> count;
            for (int i = 0; i < count && in >> word; ++i)
                file.mSkeleton.mJoints[static_cast<std::size_t>(open.back())].mChannels.push_back(channel(word));
        } else if (word == "Frames:") {
            in >> file.mFrames;
        } else if (word == "Frame") {
            in >> word >> file.mFrameTime;  // "Time:"
            const int values = file.mSkeleton.ChannelCount();
            for (int f = 0; f < file.mFrames; ++f) {
                std::vector<double> row(static_cast<std::size_t>(values));
                for (double& v : row) in >> v;
                file.mRows.push_back(std::move(row));
            }
        }
    }
    return file;
}

std::string MakeBvh(const RefSkeleton& skeleton, const std::vector<std::vector<double>>& rows, double frameTime) {
    const char* names[6] = {"Xposition", "Yposition", "Zposition", "Xrotation", "Yrotation", "Zrotation"};
    std::ostringstream out;
    out.precision(17);
    const int count = static_cast<int>(skeleton.mJoints.size());
    std::vector<std::vector<int>> children(static_cast<std::size_t>(count));
    for (int j = 0; j < count; ++j)
        if (skeleton.mJoints[j].mParent >= 0) children[static_cast<std::size_t>(skeleton.mJoints[j].mParent)].push_back(j);
    out << "HIERARCHY\n";
    // Depth first; a negative entry closes the block of joint -entry - 1.
    std::vector<int> pending{0};
    int depth = 0;
    while (!pending.empty()) {
        const int entry = pending.back();
        pending.pop_back();
        if (entry < 0) {
            --depth;
            out << std::string(static_cast<std::size_t>(depth) * 2, ' ') << "}\n";
            continue;
        }
        const RefJoint& joint = skeleton.mJoints[static_cast<std::size_t>(entry)];
        const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
        const bool site = joint.mChannels.empty() && children[static_cast<std::size_t>(entry)].empty() && entry != 0;
        out << indent << (site ? "End Site" : (entry == 0 ? "ROOT " : "JOINT ") + joint.mName) << "\n" << indent << "{\n";
        out << indent << "  OFFSET " << joint.mOffset[0] << " " << joint.mOffset[1] << " " << joint.mOffset[2] << "\n";
        if (!site) {
            out << indent << "  CHANNELS " << joint.mChannels.size();
            for (RefChannel c : joint.mChannels) out << " " << names[static_cast<int>(c)];
            out << "\n";
        }
        ++depth;
        pending.push_back(-entry - 1);
        const auto& kids = children[static_cast<std::size_t>(entry)];
        for (auto it = kids.rbegin(); it != kids.rend(); ++it) pending.push_back(*it);
    }
    out << "MOTION\nFrames: " << rows.size() << "\nFrame Time: " << frameTime << "\n";
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) out << (i ? " " : "") << row[i];
        out << "\n";
    }
    return out.str();
}

RefSkeleton SmallSkeleton(const std::string& order, const std::string& rootOrder) {
    auto rotations = [](const std::string& axes) {
        std::vector<RefChannel> channels;
        for (char axis : axes) channels.push_back(static_cast<RefChannel>(3 + (axis - 'X')));
        return channels;
    };
    const std::vector<RefChannel> own = rotations(order);
    const std::vector<RefChannel> root = rotations(rootOrder.empty() ? order : rootOrder);
    auto joint = [&](const char* name, int parent, Vec3 offset, bool position, bool site) {
        RefJoint j;
        j.mName = name;
        j.mParent = parent;
        j.mOffset = offset;
        if (position) j.mChannels = {RefChannel::kTx, RefChannel::kTy, RefChannel::kTz};
        const std::vector<RefChannel>& turns = position ? root : own;
        if (!site) j.mChannels.insert(j.mChannels.end(), turns.begin(), turns.end());
        return j;
    };
    RefSkeleton skeleton;
    skeleton.mJoints = {joint("Hips", -1, {0, 0, 0}, true, false),      joint("Spine", 0, {0, 10, 1}, false, false),
                        joint("Head", 1, {0.5, 12, 0}, false, false),   joint("Head_End", 2, {0, 8, 2}, false, true),
                        joint("Leg", 0, {4, -2, 0}, false, false),      joint("Leg_End", 4, {0, -20, 3}, false, true)};
    return skeleton;
}

std::vector<std::vector<double>> SomeRows(const RefSkeleton& skeleton, int count) {
    std::vector<std::vector<double>> rows;
    for (int f = 0; f < count; ++f) {
        std::vector<double> row;
        int k = 0;
        for (const RefJoint& joint : skeleton.mJoints)
            for (RefChannel c : joint.mChannels) {
                const double phase = 0.37 * f + 1.3 * k++;
                row.push_back(static_cast<int>(c) < 3 ? 20.0 * std::sin(phase) : 70.0 * std::sin(phase));
            }
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace bvhtest
