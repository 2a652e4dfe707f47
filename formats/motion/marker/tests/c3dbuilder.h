#ifndef ZEQ_FORMATS_MOTION_MARKER_TESTS_C3DBUILDER_H
#define ZEQ_FORMATS_MOTION_MARKER_TESTS_C3DBUILDER_H

// Hand-made C3D files in the Intel or MIPS layout, for the tests and the fuzz
// seeds: a header, parameter records and point data, as other producers write them.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace c3dtest {

struct C3DBuilder {
    bool mBigEndian = false;  // MIPS
    int mProcessorByte = 84;
    int mPoints = 1;
    int mAnalog = 0;  // analog values per frame
    int mFirstFrame = 1;
    int mLastFrame = 1;
    float mScale = -1.0f;  // negative: float data
    float mRate = 100.0f;
    int mEventCount = 0;
    std::string mParameters;  // records after the section's four bytes
    std::string mData;        // the point data, as built with Point()

    std::string Word(int value) const {
        const auto v = static_cast<std::uint16_t>(value);
        std::string out(2, '\0');
        out[0] = static_cast<char>(mBigEndian ? v >> 8 : v & 0xFF);
        out[1] = static_cast<char>(mBigEndian ? v & 0xFF : v >> 8);
        return out;
    }
    std::string Float(float value) const {
        std::uint32_t bits;
        std::memcpy(&bits, &value, 4);
        std::string out(4, '\0');
        for (int i = 0; i < 4; ++i) out[static_cast<std::size_t>(i)] = static_cast<char>(bits >> (mBigEndian ? 24 - 8 * i : 8 * i));
        return out;
    }

    // A record: name length, id, name, offset, body, description.
    std::string Record(const std::string& name, int id, const std::string& body, bool locked = false) const {
        const int length = static_cast<int>(name.size());
        std::string out;
        out += static_cast<char>(locked ? -length : length);
        out += static_cast<char>(id);
        out += name;
        out += Word(static_cast<int>(2 + body.size() + 1));
        return out + body + '\0';
    }
    void Group(const std::string& name, int id) { mParameters += Record(name, -id, ""); }
    // type -1 characters, 1 bytes, 2 words, 4 floats; values already in the layout.
    void Parameter(const std::string& name, int group, int type, const std::vector<int>& dimensions,
                   const std::string& values) {
        std::string body;
        body += static_cast<char>(type);
        body += static_cast<char>(dimensions.size());
        for (int d : dimensions) body += static_cast<char>(d);
        mParameters += Record(name, group, body + values);
    }
    void Text(const std::string& name, int group, const std::string& text) {
        Parameter(name, group, -1, {static_cast<int>(text.size())}, text);
    }
    // Texts of one width, blank-padded.
    void Texts(const std::string& name, int group, const std::vector<std::string>& rows, int width) {
        std::string values;
        for (std::string row : rows) {
            row.resize(static_cast<std::size_t>(width), ' ');
            values += row;
        }
        Parameter(name, group, -1, {width, static_cast<int>(rows.size())}, values);
    }
    void Words(const std::string& name, int group, const std::vector<int>& words) {
        std::string values;
        for (int w : words) values += Word(w);
        Parameter(name, group, 2, {static_cast<int>(words.size())}, values);
    }

    // One point: floats, or 16-bit steps of the scale with a residual word.
    void Point(float x, float y, float z, bool valid = true) {
        if (mScale < 0.0f) {
            mData += Float(x) + Float(y) + Float(z) + Float(valid ? 0.0f : -1.0f);
        } else {
            mData += Word(static_cast<int>(x / mScale)) + Word(static_cast<int>(y / mScale)) +
                     Word(static_cast<int>(z / mScale)) + Word(valid ? 0 : -1);
        }
    }
    void Analog(int count) {
        for (int i = 0; i < count; ++i) mData += mScale < 0.0f ? Float(0.5f) : Word(7);
    }

    // Header block 1, parameters from block 2, data from the block after them.
    std::string Build() const {
        std::string section = std::string("\x01\x50\x01", 3) + static_cast<char>(mProcessorByte) + mParameters;
        section += std::string(2, '\0');
        section.resize((section.size() + 511) / 512 * 512, '\0');
        const int dataStart = 2 + static_cast<int>(section.size() / 512);
        std::string header;
        header += '\x02';
        header += '\x50';
        header += Word(mPoints) + Word(mAnalog) + Word(mFirstFrame) + Word(mLastFrame) + Word(0) + Float(mScale) +
                  Word(dataStart) + Word(mAnalog ? 1 : 0) + Float(mRate);
        header.resize(298, '\0');
        header += Word(12345) + Word(mEventCount);
        header.resize(512, '\0');
        return header + section + mData;
    }
};

}  // namespace c3dtest

#endif
