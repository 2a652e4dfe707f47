// Status, text and the array family of the host API stand-in.
#pragma once

#include <string>
#include <type_traits>
#include <vector>

class TString;

// Result of a host call. Trivially copyable so it can cross `extern "C"` entry points.
class TStatus {
public:
    enum StatusCode { kSuccess = 0, kFailure = 1, kNameInUse = 3, kNotFound = 7 };

    TStatus() = default;
    TStatus(StatusCode code) : code_(code) {}

    StatusCode statusCode() const { return static_cast<StatusCode>(code_); }
    operator bool() const { return code_ == kSuccess; }
    bool operator==(StatusCode code) const { return code_ == code; }
    bool operator!=(StatusCode code) const { return code_ != code; }
    bool operator==(const TStatus& other) const { return code_ == other.code_; }
    bool operator!=(const TStatus& other) const { return code_ != other.code_; }
    void clear() { code_ = kSuccess; }

    TString errorString() const;
    // Records the text and the error text in the host transcript.
    void perror(const char* text) const;
    void perror(const TString& text) const;

private:
    int code_ = kSuccess;
};

static_assert(std::is_trivially_copyable<TStatus>::value && sizeof(TStatus) == 4, "TStatus crosses extern \"C\"");

namespace tulo_detail {
// Out-of-range access on a checked array: recorded as a host fault.
void indexFault(const char* what, unsigned index, std::size_t length);
}

// A checked array: a miss is a recorded host fault and touches a scratch element, never memory
// outside the array.
template <class T>
class TArray {
public:
    TArray() = default;
    explicit TArray(unsigned n, const T& init = T()) : v_(n, init) {}

    unsigned length() const { return static_cast<unsigned>(v_.size()); }
    T& operator[](unsigned i) {
        if (i < v_.size()) return v_[i];
        tulo_detail::indexFault("array", i, v_.size());
        scratch_ = T();
        return scratch_;
    }
    const T& operator[](unsigned i) const { return const_cast<TArray*>(this)->operator[](i); }
    TStatus append(const T& value) {
        v_.push_back(value);
        return TStatus::kSuccess;
    }
    TStatus insert(const T& value, unsigned at) {
        if (at > v_.size()) {
            tulo_detail::indexFault("array insert", at, v_.size());
            return TStatus::kFailure;
        }
        v_.insert(v_.begin() + at, value);
        return TStatus::kSuccess;
    }
    TStatus remove(unsigned at) {
        if (at >= v_.size()) {
            tulo_detail::indexFault("array remove", at, v_.size());
            return TStatus::kFailure;
        }
        v_.erase(v_.begin() + at);
        return TStatus::kSuccess;
    }
    TStatus clear() {
        v_.clear();
        return TStatus::kSuccess;
    }
    TStatus setLength(unsigned n) {
        v_.resize(n);
        return TStatus::kSuccess;
    }
    TStatus copy(const TArray& other) {
        v_ = other.v_;
        return TStatus::kSuccess;
    }
    // Implementation access for the stand-in itself.
    const std::vector<T>& values() const { return v_; }
    std::vector<T>& values() { return v_; }

protected:
    std::vector<T> v_;
    T scratch_{};
};

class TStringArray;

class TString {
public:
    TString() = default;
    TString(const char* text) : s_(text ? text : "") {}
    TString(const char* text, int length) : s_(text ? std::string(text, length < 0 ? 0 : length) : "") {}
    TString(const std::string& text) : s_(text) {}

    const char* asChar() const { return s_.c_str(); }
    unsigned length() const { return static_cast<unsigned>(s_.size()); }
    TString& operator=(const char* text) {
        s_ = text ? text : "";
        return *this;
    }
    TString& operator+=(const char* text);
    TString& operator+=(const TString& text);
    TString& operator+=(double value);
    TString& operator+=(int value);
    TString& operator+=(unsigned value);
    TString operator+(const TString& text) const;
    TString operator+(const char* text) const;
    TString operator+(double value) const;
    bool operator==(const TString& o) const { return s_ == o.s_; }
    bool operator==(const char* o) const { return s_ == (o ? o : ""); }
    bool operator!=(const TString& o) const { return s_ != o.s_; }
    bool operator!=(const char* o) const { return !(*this == o); }
    bool operator<(const TString& o) const { return s_ < o.s_; }
    TString& set(double value);
    // Splits on the separator; empty pieces are dropped.
    TStatus split(char separator, TStringArray& parts) const;

    const std::string& str() const { return s_; }

private:
    std::string s_;
};

// Shortest text of a double that reads back exactly ("%.15g", else "%.17g").
std::string tuloFormatDouble(double value);

class TStringArray : public TArray<TString> {
public:
    using TArray::TArray;
};
class TIntArray : public TArray<int> {
public:
    using TArray::TArray;
};
class TUintArray : public TArray<unsigned> {
public:
    using TArray::TArray;
};
class TFloatArray : public TArray<float> {
public:
    using TArray::TArray;
};
class TDoubleArray : public TArray<double> {
public:
    using TArray::TArray;
    TDoubleArray(const double* values, unsigned n) : TArray() {
        if (values) v_.assign(values, values + n);
    }
};
