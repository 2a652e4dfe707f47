#include "base/kstring.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace zeqsdk_400 {

namespace {

int UpperByte(char c) { return std::toupper(static_cast<unsigned char>(c)); }

bool IsDelimiter(char c, const char* delimiters) {
    return delimiters && c != '\0' && std::strchr(delimiters, c) != nullptr;
}

}  // namespace

KString::KString() : mData(mInline), mLen(0), mCapacity(kInlineSize - 1), mValid(true) {
    mInline[0] = '\0';
}

KString::KString(const char* text) : KString() {
    if (text)
        Assign(text, std::strlen(text));
    else
        mValid = false;
}

KString::KString(const char* text, std::size_t length) : KString() {
    if (!text) {
        mValid = false;
    } else if (length < kInlineSize) {
        // New and short: straight into the inline room.
        std::memcpy(mInline, text, length);
        mInline[length] = '\0';
        mLen = length;
    } else {
        Assign(text, length);
    }
}

KString::KString(int value) : KString() {
    char buf[16];
    int n = std::snprintf(buf, sizeof buf, "%d", value);
    Assign(buf, static_cast<std::size_t>(n));
}

KString::KString(const KString& other) : KString() {
    Assign(other.mData, other.mLen);
    mValid = other.mValid;
}

KString::KString(KString&& other) noexcept : KString() {
    if (other.OnHeap()) {
        mData = other.mData;
        mCapacity = other.mCapacity;
        mLen = other.mLen;
        other.mData = other.mInline;
        other.mCapacity = kInlineSize - 1;
        other.mLen = 0;
        other.mInline[0] = '\0';
    } else {
        std::memcpy(mInline, other.mInline, other.mLen + 1);
        mLen = other.mLen;
    }
    mValid = other.mValid;
}

KString::~KString() { FreeHeap(); }

KString& KString::operator=(const KString& other) {
    if (this != &other) {
        Assign(other.mData, other.mLen);
        mValid = other.mValid;
    }
    return *this;
}

KString& KString::operator=(KString&& other) noexcept {
    if (this == &other) return *this;
    if (other.OnHeap()) {
        FreeHeap();
        mData = other.mData;
        mCapacity = other.mCapacity;
        mLen = other.mLen;
        other.mData = other.mInline;
        other.mCapacity = kInlineSize - 1;
        other.mLen = 0;
        other.mInline[0] = '\0';
    } else {
        Assign(other.mData, other.mLen);
    }
    mValid = other.mValid;
    return *this;
}

KString& KString::operator=(const char* text) {
    if (text) {
        // The text may point into this string's own buffer.
        if (text >= mData && text <= mData + mLen) {
            KString copy(text);
            *this = std::move(copy);
        } else {
            Assign(text, std::strlen(text));
        }
        mValid = true;
    } else {
        Invalidate();
    }
    return *this;
}

KString& KString::operator=(float value) {
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%f", static_cast<double>(value));
    if (n < 0) n = 0;
    if (static_cast<std::size_t>(n) >= sizeof buf) {
        // Huge magnitudes need more room than the usual case.
        std::vector<char> big(static_cast<std::size_t>(n) + 1);
        std::snprintf(big.data(), big.size(), "%f", static_cast<double>(value));
        Assign(big.data(), static_cast<std::size_t>(n));
    } else {
        Assign(buf, static_cast<std::size_t>(n));
    }
    mValid = true;
    return *this;
}

KString& KString::Invalidate() {
    Empty();
    mValid = false;
    return *this;
}

KString& KString::Empty() {
    FreeHeap();
    mData = mInline;
    mCapacity = kInlineSize - 1;
    mLen = 0;
    mInline[0] = '\0';
    mValid = true;
    return *this;
}

char& KString::ScratchByte() {
    static char scratch;
    scratch = '\0';
    return scratch;
}

void KString::FreeHeap() {
    if (OnHeap()) std::free(mData);
}

// Makes room for length characters. Assignments size the heap block exactly;
// appends grow it geometrically so that building a text piece by piece stays linear.
void KString::Reserve(std::size_t length, bool exact) {
    if (length <= mCapacity) return;
    std::size_t capacity = length;
    if (!exact && OnHeap()) {
        std::size_t grown = mCapacity + mCapacity / 2;
        if (grown > capacity) capacity = grown;
    }
    char* block;
    if (OnHeap()) {
        block = static_cast<char*>(std::realloc(mData, capacity + 1));
    } else {
        block = static_cast<char*>(std::malloc(capacity + 1));
        if (block) std::memcpy(block, mData, mLen + 1);
    }
    if (!block) throw std::bad_alloc();
    mData = block;
    mCapacity = capacity;
}

void KString::Assign(const char* text, std::size_t length) {
    if (length < kInlineSize) {
        // Copy first: text may live in our heap block.
        char tmp[kInlineSize];
        std::memcpy(tmp, text, length);
        FreeHeap();
        mData = mInline;
        mCapacity = kInlineSize - 1;
        std::memcpy(mInline, tmp, length);
    } else if (OnHeap() && mCapacity == length) {
        std::memmove(mData, text, length);
    } else {
        char* block = static_cast<char*>(std::malloc(length + 1));
        if (!block) throw std::bad_alloc();
        std::memcpy(block, text, length);
        FreeHeap();
        mData = block;
        mCapacity = length;
    }
    mLen = length;
    mData[mLen] = '\0';
}

KString& KString::Append(const char* text) {
    return text ? Append(text, std::strlen(text)) : *this;
}

KString& KString::Append(const char* text, std::size_t length) {
    if (!text || length == 0) return *this;
    // Appending part of ourselves: remember the offset across the reallocation.
    bool self = text >= mData && text <= mData + mLen;
    std::size_t offset = self ? static_cast<std::size_t>(text - mData) : 0;
    Reserve(mLen + length, false);
    if (self) text = mData + offset;
    std::memmove(mData + mLen, text, length);
    mLen += length;
    mData[mLen] = '\0';
    return *this;
}

KString& KString::operator+=(const KString& other) { return Append(other.mData, other.mLen); }
KString& KString::operator+=(const char* text) { return Append(text); }
KString& KString::operator+=(char c) { return Append(&c, 1); }

KString& KString::operator+=(int value) {
    char buf[16];
    int n = std::snprintf(buf, sizeof buf, "%d", value);
    return Append(buf, static_cast<std::size_t>(n));
}

int KString::Compare(const char* text) const {
    return std::strcmp(mData, text ? text : "");
}

int KString::CompareNoCase(const char* text) const {
    const char* a = mData;
    const char* b = text ? text : "";
    for (;; ++a, ++b) {
        int ca = UpperByte(*a);
        int cb = UpperByte(*b);
        if (ca != cb || ca == 0) return ca - cb;
    }
}

bool KString::operator==(const KString& other) const {
    return mLen == other.mLen && std::memcmp(mData, other.mData, mLen) == 0;
}

bool KString::operator==(const char* text) const {
    if (!text) text = "";
    std::size_t n = std::strlen(text);
    return n == mLen && std::memcmp(mData, text, n) == 0;
}

bool KString::operator<(const KString& other) const {
    std::size_t n = mLen < other.mLen ? mLen : other.mLen;
    int c = std::memcmp(mData, other.mData, n);
    return c < 0 || (c == 0 && mLen < other.mLen);
}

int KString::Find(char c, unsigned int start) const {
    if (start >= mLen) return -1;
    const void* p = std::memchr(mData + start, c, mLen - start);
    return p ? static_cast<int>(static_cast<const char*>(p) - mData) : -1;
}

int KString::Find(const char* text, unsigned int start) const {
    if (!text) return 0;
    std::size_t n = std::strlen(text);
    if (start > mLen || n > mLen - start) return -1;
    if (n == 0) return static_cast<int>(start);
    for (std::size_t i = start; i + n <= mLen; ++i) {
        const void* p = std::memchr(mData + i, text[0], mLen - n + 1 - i);
        if (!p) return -1;
        i = static_cast<std::size_t>(static_cast<const char*>(p) - mData);
        if (std::memcmp(mData + i, text, n) == 0) return static_cast<int>(i);
    }
    return -1;
}

int KString::ReverseFind(char c) const {
    for (std::size_t i = mLen; i > 0; --i)
        if (mData[i - 1] == c) return static_cast<int>(i - 1);
    return -1;
}

KString KString::Left(unsigned int count) const {
    return KString(mData, count < mLen ? count : mLen);
}

KString KString::Right(unsigned int count) const {
    std::size_t n = count < mLen ? count : mLen;
    return KString(mData + mLen - n, n);
}

KString KString::Mid(unsigned int start) const {
    if (start >= mLen) return KString();
    return KString(mData + start, mLen - start);
}

KString KString::Mid(unsigned int start, unsigned int count) const {
    if (start >= mLen) return KString();
    std::size_t rest = mLen - start;
    return KString(mData + start, count < rest ? count : rest);
}

KString KString::Upper() const {
    KString s(*this);
    for (std::size_t i = 0; i < s.mLen; ++i) s.mData[i] = static_cast<char>(UpperByte(s.mData[i]));
    return s;
}

KString KString::Lower() const {
    KString s(*this);
    for (std::size_t i = 0; i < s.mLen; ++i)
        s.mData[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(s.mData[i])));
    return s;
}

KString KString::Reverse() const {
    KString s(*this);
    for (std::size_t i = 0, j = s.mLen; i + 1 < j; ++i, --j) {
        char t = s.mData[i];
        s.mData[i] = s.mData[j - 1];
        s.mData[j - 1] = t;
    }
    return s;
}

KString KString::UnPad(PaddingType type) const {
    std::size_t begin = 0;
    std::size_t end = mLen;
    auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    if (type == eLeft || type == eBoth)
        while (begin < end && space(mData[begin])) ++begin;
    if (type == eRight || type == eBoth)
        while (end > begin && space(mData[end - 1])) --end;
    return KString(mData + begin, end - begin);
}

bool KString::FindAndReplace(const char* find, const char* replacement, unsigned int start) {
    if (!find || !*find) return false;
    int at = Find(find, start);
    if (at < 0) return false;
    std::size_t n = std::strlen(find);
    KString result(mData, static_cast<std::size_t>(at));
    result.Append(replacement);
    result.Append(mData + at + n, mLen - static_cast<std::size_t>(at) - n);
    result.mValid = mValid;
    *this = std::move(result);
    return true;
}

int KString::GetTokenCount(const char* delimiters) const {
    int count = 0;
    std::size_t i = 0;
    while (i < mLen) {
        while (i < mLen && IsDelimiter(mData[i], delimiters)) ++i;
        if (i >= mLen) break;
        ++count;
        while (i < mLen && !IsDelimiter(mData[i], delimiters)) ++i;
    }
    return count;
}

KString KString::GetToken(int index, const char* delimiters) const {
    if (index < 0) return KString();
    int count = 0;
    std::size_t i = 0;
    while (i < mLen) {
        while (i < mLen && IsDelimiter(mData[i], delimiters)) ++i;
        if (i >= mLen) break;
        std::size_t begin = i;
        while (i < mLen && !IsDelimiter(mData[i], delimiters)) ++i;
        if (count++ == index) return KString(mData + begin, i - begin);
    }
    return KString();
}

KString operator+(const KString& a, const KString& b) {
    KString s(a);
    s += b;
    return s;
}

KString operator+(const KString& a, const char* b) {
    KString s(a);
    s += b;
    return s;
}

KString operator+(const char* a, const KString& b) {
    KString s(a ? a : "");
    s += b;
    return s;
}

KString operator+(const KString& a, int b) {
    KString s(a);
    s += b;
    return s;
}

// ---------------------------------------------------------------------------

int KStringList::InsertAt(int index, const char* text, kReference reference) {
    if (index < 0) return -1;
    std::size_t at = static_cast<std::size_t>(index);
    if (at > mItems.size()) at = mItems.size();
    mItems.insert(mItems.begin() + static_cast<std::ptrdiff_t>(at), Item{KString(text ? text : ""), reference});
    return static_cast<int>(at);
}

void KStringList::RemoveAt(int index) {
    if (index < 0 || index >= GetCount()) return;
    mItems.erase(mItems.begin() + index);
}

const char* KStringList::GetStringAt(int index) const {
    if (index < 0 || index >= GetCount()) return nullptr;
    return mItems[static_cast<std::size_t>(index)].mString.Buffer();
}

kReference KStringList::GetReferenceAt(int index) const {
    if (index < 0 || index >= GetCount()) return 0;
    return mItems[static_cast<std::size_t>(index)].mReference;
}

void KStringList::SetReferenceAt(int index, kReference reference) {
    if (index < 0 || index >= GetCount()) return;
    mItems[static_cast<std::size_t>(index)].mReference = reference;
}

int KStringList::Find(const char* text) const {
    for (std::size_t i = 0; i < mItems.size(); ++i)
        if (mItems[i].mString == text) return static_cast<int>(i);
    return -1;
}

}  // namespace zeqsdk_400
