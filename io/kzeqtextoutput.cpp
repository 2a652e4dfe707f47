#include "io/kzeqtextoutput.h"

#include <cerrno>
#include <charconv>
#include <cstring>

#include "io/kzeqtextscan.h"

namespace zeqsdk_400 {

void KZeqTextOutput::Reset(std::FILE* file) {
    Flush();
    mFile = file;
    mUsed = 0;
    mFailed = false;
    mFailure.Empty();
    mSystemError = 0;
}

void KZeqTextOutput::Write(const char* data, std::size_t size) {
    if (!mFile || mFailed) return;
    if (mUsed + size > sizeof(mBuffer)) {
        Flush();
        if (size > sizeof(mBuffer)) {
            if (!mFailed && std::fwrite(data, 1, size, mFile) != size) Fail(errno);
            return;
        }
    }
    std::memcpy(mBuffer + mUsed, data, size);
    mUsed += size;
}

KZeqTextOutput& KZeqTextOutput::operator<<(std::string_view text) {
    Write(text.data(), text.size());
    return *this;
}

KZeqTextOutput& KZeqTextOutput::operator<<(int value) {
    char text[16];
    const std::to_chars_result result = std::to_chars(text, text + sizeof(text), value);
    Write(text, static_cast<std::size_t>(result.ptr - text));
    return *this;
}

KZeqTextOutput& KZeqTextOutput::Fixed(double value) {
    // The widest "%f" of a double holds 309 digits before the point.
    char text[400];
    const std::to_chars_result result =
        std::to_chars(text, text + sizeof(text), value, std::chars_format::fixed, 6);
    Write(text, static_cast<std::size_t>(result.ptr - text));
    return *this;
}

KZeqTextOutput& KZeqTextOutput::Padded(int value, int width) {
    char text[16];
    const std::to_chars_result result = std::to_chars(text, text + sizeof(text), value);
    for (int pad = width - static_cast<int>(result.ptr - text); pad > 0; --pad) Write(" ", 1);
    Write(text, static_cast<std::size_t>(result.ptr - text));
    return *this;
}

bool KZeqTextOutput::Flush() {
    if (mFile && !mFailed && mUsed > 0) {
        if (std::fwrite(mBuffer, 1, mUsed, mFile) != mUsed || std::fflush(mFile) != 0) Fail(errno);
    } else if (mFile && !mFailed && std::fflush(mFile) != 0) {
        Fail(errno);
    }
    mUsed = 0;
    return !mFailed;
}

void KZeqTextOutput::Fail(int error) {
    mFailed = true;
    mSystemError = error;
    mFailure = error ? std::strerror(error) : "write error";
}

namespace {

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return text;
}

}  // namespace

std::string KZeqWordNames::Give(std::string_view name) {
    std::string word(name);
    for (char& c : word)
        if (ZeqIsBlank(c)) c = '_';
    auto given = mGiven.emplace(Upper(word), 0);
    if (given.second) return word;
    long long& count = given.first->second;
    std::string numbered;
    do numbered = word + std::to_string(++count);
    while (!mGiven.emplace(Upper(numbered), 0).second);
    return numbered;
}

}  // namespace zeqsdk_400
