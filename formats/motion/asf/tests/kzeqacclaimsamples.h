#ifndef ZEQ_FORMATS_MOTION_ASF_TESTS_KZEQACCLAIMSAMPLES_H
#define ZEQ_FORMATS_MOTION_ASF_TESTS_KZEQACCLAIMSAMPLES_H

// Acclaim text made on the spot for the benchmarks and fuzz targets (no
// gtest): a skeleton with the bones and dofs of the common 31-bone capture
// layout, and motion of any length for it.

#include <cstdio>
#include <string>

namespace zeqacclaimsamples {

struct SampleBone {
    const char* mName;
    const char* mParent;
    const char* mDofs;  // empty: a dummy bone
    const char* mDirection;
    double mLength;
};

// Parents come before their children.
inline const SampleBone* SampleBones(int& count) {
    static const SampleBone kBones[] = {
        {"lhipjoint", "root", "", "0.62 -0.71 0.32", 2.2},   {"lfemur", "lhipjoint", "rx ry rz", "0.34 -0.94 0", 6.8},
        {"ltibia", "lfemur", "rx", "0.34 -0.94 0", 6.7},      {"lfoot", "ltibia", "rx rz", "0.03 -0.1 0.99", 1.5},
        {"ltoes", "lfoot", "rx", "0 0 1", 0.8},               {"rhipjoint", "root", "", "-0.65 -0.69 0.31", 2.3},
        {"rfemur", "rhipjoint", "rx ry rz", "-0.34 -0.94 0", 6.6}, {"rtibia", "rfemur", "rx", "-0.34 -0.94 0", 6.7},
        {"rfoot", "rtibia", "rx rz", "-0.03 -0.1 0.99", 1.5}, {"rtoes", "rfoot", "rx", "0 0 1", 0.8},
        {"lowerback", "root", "rx ry rz", "0.02 0.99 -0.1", 2.0}, {"upperback", "lowerback", "rx ry rz", "0 1 0", 2.0},
        {"thorax", "upperback", "rx ry rz", "0 1 0", 2.0},    {"lowerneck", "thorax", "rx ry rz", "0 1 0.05", 1.7},
        {"upperneck", "lowerneck", "rx ry rz", "0 1 -0.1", 1.7}, {"head", "upperneck", "rx ry rz", "0 1 0", 1.7},
        {"lclavicle", "thorax", "ry rz", "0.99 0.08 -0.06", 3.5}, {"lhumerus", "lclavicle", "rx ry rz", "1 0 0", 5.1},
        {"lradius", "lhumerus", "rx", "1 0 0", 3.4},          {"lwrist", "lradius", "ry", "1 0 0", 1.7},
        {"lhand", "lwrist", "rx rz", "1 0 0", 0.7},           {"lfingers", "lhand", "rx", "1 0 0", 0.5},
        {"lthumb", "lwrist", "rx rz", "0.7 0 0.7", 0.8},      {"rclavicle", "thorax", "ry rz", "-0.99 0.08 -0.06", 3.5},
        {"rhumerus", "rclavicle", "rx ry rz", "-1 0 0", 5.1}, {"rradius", "rhumerus", "rx", "-1 0 0", 3.4},
        {"rwrist", "rradius", "ry", "-1 0 0", 1.7},           {"rhand", "rwrist", "rx rz", "-1 0 0", 0.7},
        {"rfingers", "rhand", "rx", "-1 0 0", 0.5},           {"rthumb", "rwrist", "rx rz", "-0.7 0 0.7", 0.8},
    };
    count = static_cast<int>(sizeof(kBones) / sizeof(kBones[0]));
    return kBones;
}

// A skeleton of `bones` bones: copies of the capture layout one after another, each hanging from
// the root, the names of copy c numbered c ("lfemur3"; the first copy's as they are), the last copy
// cut short; its hierarchy one line per bone.
inline std::string SampleAsf(int bones) {
    std::string text =
        ":version 1.10\n:name VICON\n:units\n  mass 1.0\n  length 0.45\n  angle deg\n:documentation\n  made on the spot\n"
        ":root\n   order TX TY TZ RX RY RZ\n   axis XYZ\n   position 0 0 0\n   orientation 0 0 0\n:bonedata\n";
    int count = 0;
    const SampleBone* layout = SampleBones(count);
    const auto Named = [](const char* name, int copy) {
        return copy == 0 || std::string(name) == "root" ? std::string(name) : name + std::to_string(copy);
    };
    std::string hierarchy = ":hierarchy\n  begin\n";
    char line[256];
    for (int b = 0; b < bones; ++b) {
        const SampleBone& bone = layout[b % count];
        const int copy = b / count;
        const std::string name = Named(bone.mName, copy);
        std::snprintf(line, sizeof(line), "  begin\n    id %d\n    name %s\n    direction %s\n    length %g\n", b + 1,
                      name.c_str(), bone.mDirection, bone.mLength);
        text += line;
        text += "    axis 0 0 20 XYZ\n";
        if (*bone.mDofs) text += std::string("    dof ") + bone.mDofs + "\n";
        text += "  end\n";
        hierarchy += "    " + Named(bone.mParent, copy) + " " + name + "\n";
    }
    return text + hierarchy + "  end\n";
}

// The capture layout once.
inline std::string SampleAsf() {
    int count = 0;
    SampleBones(count);
    return SampleAsf(count);
}

// count frames numbered from 1, every value a smooth function of frame and channel.
inline std::string SampleAmc(int frames) {
    std::string text = ":FULLY-SPECIFIED\n:DEGREES\n";
    int count = 0;
    const SampleBone* bones = SampleBones(count);
    char line[64];
    for (int f = 1; f <= frames; ++f) {
        std::snprintf(line, sizeof(line), "%d\n", f);
        text += line;
        for (int i = -1; i < count; ++i) {
            int dofs = 6;
            if (i >= 0) {
                dofs = 0;
                for (const char* d = bones[i].mDofs; *d; ++d) dofs += *d == 'r';
                if (dofs == 0) continue;
            }
            text += i < 0 ? "root" : bones[i].mName;
            for (int d = 0; d < dofs; ++d) {
                std::snprintf(line, sizeof(line), " %g", 30.0 * ((f * 7 + d * 13 + i * 5) % 97) / 97.0 - 15.0);
                text += line;
            }
            text += "\n";
        }
    }
    return text;
}

}  // namespace zeqacclaimsamples

#endif
