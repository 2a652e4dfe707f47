#include "tstatus.h"

#include <cstdio>
#include <cstdlib>

#include "scene.h"

TString TStatus::errorString() const {
    switch (code_) {
    case kSuccess: return "(kSuccess): no error";
    case kFailure: return "(kFailure): unexpected failure";
    case kNameInUse: return "(kNameInUse): name in use";
    case kNotFound: return "(kNotFound): object not found";
    default: return "(unknown status)";
    }
}

void TStatus::perror(const char* text) const {
    tulo_detail::note(std::string(text ? text : "") + ": " + errorString().str());
}

void TStatus::perror(const TString& text) const { perror(text.asChar()); }

std::string tuloFormatDouble(double value) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    if (std::strtod(buf, nullptr) != value) std::snprintf(buf, sizeof buf, "%.17g", value);
    return buf;
}

TString& TString::operator+=(const char* text) {
    s_ += text ? text : "";
    return *this;
}
TString& TString::operator+=(const TString& text) {
    s_ += text.s_;
    return *this;
}
TString& TString::operator+=(double value) {
    s_ += tuloFormatDouble(value);
    return *this;
}
TString& TString::operator+=(int value) {
    s_ += std::to_string(value);
    return *this;
}
TString& TString::operator+=(unsigned value) {
    s_ += std::to_string(value);
    return *this;
}
TString TString::operator+(const TString& text) const { return TString(s_ + text.s_); }
TString TString::operator+(const char* text) const { return TString(s_ + (text ? text : "")); }
TString TString::operator+(double value) const { return TString(s_ + tuloFormatDouble(value)); }

TString& TString::set(double value) {
    s_ = tuloFormatDouble(value);
    return *this;
}

TStatus TString::split(char separator, TStringArray& parts) const {
    parts.clear();
    std::size_t start = 0;
    while (start <= s_.size()) {
        std::size_t end = s_.find(separator, start);
        if (end == std::string::npos) end = s_.size();
        if (end > start) parts.append(TString(s_.substr(start, end - start)));
        start = end + 1;
    }
    return TStatus::kSuccess;
}
