#ifndef ZEQ_FORMATS_GEOMETRY_DXF_TESTS_DXFPEER_H
#define ZEQ_FORMATS_GEOMETRY_DXF_TESTS_DXFPEER_H

// What the peer DXF reader (ezdxf, run by tests/ezdxf_summary.py) finds in a
// file, for the tests that cross-check ours against it.

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace zeqtest {

struct PeerPolyline {
    std::string mSpace;
    int mFlags = 0, mVertices = 0, mFaces = 0, mColor = 256;
    std::vector<std::vector<double>> mPoints;
    std::vector<std::vector<int>> mFaceRecords;  // colour, then the indices
};

struct PeerSummary {
    int mErrors = -1, mFixes = -1;
    std::map<std::string, int> mCounts;  // "model LINE" and the like
    std::map<std::string, int> mLayers;
    std::vector<PeerPolyline> mPolylines;
};

// False when the peer is not installed or could not read the file.
inline bool PeerAvailable() {
#ifdef ZEQ_EZDXF_PYTHON
    return true;
#else
    return false;
#endif
}

inline bool ReadWithPeer(const std::string& path, PeerSummary& summary) {
#ifdef ZEQ_EZDXF_PYTHON
    const std::string command = std::string(ZEQ_EZDXF_PYTHON) + " " + ZEQ_EZDXF_SCRIPT + " '" + path + "' 2>/dev/null";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return false;
    std::string text;
    char block[65536];
    for (std::size_t read; (read = std::fread(block, 1, sizeof(block), pipe)) > 0;) text.append(block, read);
    if (::pclose(pipe) != 0) return false;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string kind;
        fields >> kind;
        if (kind == "audit") {
            fields >> summary.mErrors >> summary.mFixes;
        } else if (kind == "count") {
            std::string space, type;
            int count = 0;
            fields >> space >> type >> count;
            summary.mCounts[space + " " + type] = count;
        } else if (kind == "layer") {
            std::string name;
            int color = 0;
            fields >> name >> color;
            summary.mLayers[name] = color;
        } else if (kind == "polyline") {
            PeerPolyline polyline;
            fields >> polyline.mSpace >> polyline.mFlags >> polyline.mVertices >> polyline.mFaces >> polyline.mColor;
            summary.mPolylines.push_back(polyline);
        } else if (kind == "point" && !summary.mPolylines.empty()) {
            std::vector<double> point(3);
            fields >> point[0] >> point[1] >> point[2];
            summary.mPolylines.back().mPoints.push_back(point);
        } else if (kind == "face" && !summary.mPolylines.empty()) {
            std::vector<int> face;
            for (int value; fields >> value;) face.push_back(value);
            summary.mPolylines.back().mFaceRecords.push_back(face);
        }
    }
    return summary.mErrors >= 0;
#else
    (void)path, (void)summary;
    return false;
#endif
}

}  // namespace zeqtest

#endif
