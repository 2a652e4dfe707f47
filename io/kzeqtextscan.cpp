#include "io/kzeqtextscan.h"

#include <charconv>
#include <cstdlib>
#include <string>

namespace zeqsdk_400 {

namespace {

const char* SkipBlanks(const char* at, const char* end) {
    while (at < end && ZeqIsBlank(*at)) ++at;
    return at;
}

}  // namespace

const char* ZeqScanDouble(const char* start, const char* end, double& value) {
    const char* at = SkipBlanks(start, end);
    const char* number = at;
    // from_chars takes no plus sign, and a sign after one is no number.
    if (at < end && *at == '+') ++at;
    if (at != number && at < end && (*at == '+' || *at == '-')) return start;
    const std::from_chars_result result = std::from_chars(at, end, value);
    if (result.ec == std::errc::result_out_of_range) {
        const std::string copy(at, result.ptr);
        value = std::strtod(copy.c_str(), nullptr);
        return result.ptr;
    }
    return result.ec == std::errc() ? result.ptr : start;
}

const char* ZeqScanInt(const char* start, const char* end, int& value) {
    const char* at = SkipBlanks(start, end);
    const char* number = at;
    if (at < end && *at == '+') ++at;
    if (at != number && at < end && (*at == '+' || *at == '-')) return start;
    const std::from_chars_result result = std::from_chars(at, end, value);
    return result.ec == std::errc() ? result.ptr : start;
}

}  // namespace zeqsdk_400
