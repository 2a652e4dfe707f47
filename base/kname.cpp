#include "base/kname.h"

#include <cstdio>
#include <cstring>

namespace zeqsdk_400 {

KName::KName(const char* name) : mInitial(name ? name : ""), mCurrent(name ? name : "") {}

void KName::SetInitialName(const char* name) {
    mInitial = name ? name : "";
    mCurrent = mInitial.Buffer();
}

void KName::SetCurrentName(const char* name) { mCurrent = name ? name : ""; }

bool KName::IsRenamed() const { return std::strcmp(mInitial.Buffer(), mCurrent.Buffer()) != 0; }

bool KNumberRenamingStrategy::Rename(KName& name) {
    std::string current = name.GetCurrentName();  // up to the terminator, even if shortened in place
    auto it = mSeen.find(current);
    if (it == mSeen.end()) {
        mSeen.emplace(current, 0);
        return false;
    }
    long long count = it->second;
    std::string candidate;
    do {
        ++count;
        candidate = current + std::to_string(count);
    } while (mSeen.count(candidate));
    it->second = count;
    mSeen.emplace(candidate, 0);
    name.SetCurrentName(candidate.c_str());
    return true;
}

// ---------------------------------------------------------------------------

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool EndsWith(const std::string& s, std::size_t length, const char* tail) {
    std::size_t n = std::strlen(tail);
    return length >= n && s.compare(length - n, n, tail) == 0;
}

}  // namespace

KUniqueNameObjectList::KUniqueNameObjectList(unsigned int initialNames, unsigned int initialObjects) {
    mNames.reserve(initialNames);
    mObjects.reserve(initialObjects);
}

const char* KUniqueNameObjectList::AddObject(const char* name, const void* key) {
    const char* begin = name ? name : "";
    const char* end = begin + std::strlen(begin);
    while (begin < end && IsBlank(*begin)) ++begin;
    while (end > begin && IsBlank(end[-1])) --end;
    std::string unique = begin == end ? std::string("Default") : std::string(begin, end);

    if (mNames.count(unique)) {
        // The number suffix is the trailing run of digits, except that the first
        // digit of a media extension (".sd2", ".mp3", ".mpg4") stays in the name.
        std::size_t digits = unique.size();
        while (digits > 0 && unique[digits - 1] >= '0' && unique[digits - 1] <= '9') --digits;
        if (digits < unique.size() && digits >= 3 &&
            (EndsWith(unique, digits, ".sd") || EndsWith(unique, digits, ".mp") || EndsWith(unique, digits, ".mpg")))
            ++digits;
        std::string base = unique.substr(0, digits);
        std::string suffix = unique.substr(digits);
        long long number;
        if (!suffix.empty() && suffix.size() <= 18) {
            number = std::stoll(suffix) + 1;
        } else {
            // No suffix (or one too long to count on): start a new one after a blank.
            base = unique + " ";
            number = 1;
        }
        do {
            unique = base + std::to_string(number++);
        } while (mNames.count(unique));
    }
    mNames.insert(unique);
    KString& stored = mObjects[key];
    stored = unique.c_str();
    return stored.Buffer();
}

const char* KUniqueNameObjectList::GetNameByObject(const void* key) const {
    auto it = mObjects.find(key);
    return it == mObjects.end() ? nullptr : it->second.Buffer();
}

bool KUniqueNameObjectList::IsNameTaken(const char* name) const { return name && mNames.count(name) != 0; }

void KUniqueNameObjectList::Clear() {
    mNames.clear();
    mObjects.clear();
}

}  // namespace zeqsdk_400
