#ifndef ZEQ_IO_KZEQTEXTOUTPUT_H
#define ZEQ_IO_KZEQTEXTOUTPUT_H

#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/kstring.h"

namespace zeqsdk_400 {

// Buffered text output for the writers of text formats: numbers formatted
// without a printf per value, and the first failure of the stream kept with
// its system text, so that a writer can report it instead of a file that
// silently ends short. What is still buffered reaches the stream only by
// Flush or Reset: call one before closing it.
class KZeqTextOutput {
public:
    // Nothing is written through a null file, and that is no failure.
    explicit KZeqTextOutput(std::FILE* file = nullptr) : mFile(file) {}
    KZeqTextOutput(const KZeqTextOutput&) = delete;
    KZeqTextOutput& operator=(const KZeqTextOutput&) = delete;

    // Flushes to the stream before (closing it is the owner's business),
    // then writes to file with no failure recorded.
    void Reset(std::FILE* file);

    KZeqTextOutput& operator<<(std::string_view text);
    KZeqTextOutput& operator<<(const char* text) { return *this << std::string_view(text ? text : ""); }
    KZeqTextOutput& operator<<(char c) { return *this << std::string_view(&c, 1); }
    KZeqTextOutput& operator<<(int value);
    // As printf's "%lf": six decimals.
    KZeqTextOutput& Fixed(double value);
    // As printf's "%*d": right-aligned in width characters.
    KZeqTextOutput& Padded(int value, int width);

    // Hands the buffer to the stream; false once anything failed.
    bool Flush();
    bool Failed() const { return mFailed; }
    // The system's text for the failure, empty without one.
    const KString& GetFailure() const { return mFailure; }
    // The system's error number behind it, 0 without one.
    int GetSystemError() const { return mSystemError; }

private:
    void Write(const char* data, std::size_t size);
    void Fail(int error);

    std::FILE* mFile;
    char mBuffer[1 << 16];
    std::size_t mUsed = 0;
    bool mFailed = false;
    KString mFailure;
    int mSystemError = 0;
};

// Names for text formats whose readers take a name up to its first blank and
// compare names without regard to case (OBJ groups and materials, DXF layers):
// every blank becomes '_', so that the name reads back whole, and a name that
// would then read back as one given out before takes a number ("a b", then
// "a_b" or "A B", give a_b and a_b1), so that distinct objects stay distinct.
class KZeqWordNames {
public:
    std::string Give(std::string_view name);
    void Clear() { mGiven.clear(); }

private:
    std::unordered_map<std::string, long long> mGiven;  // upper case -> last number tried on it
};

}  // namespace zeqsdk_400

#endif
