#include "io/kzeqpluginrenamingstrategy.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

using zeqsdk_400::KName;
using zeqsdk_400::KRenamingStrategy;
using zeqsdk_400::KString;

namespace {

bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool IsLower(char c) { return c >= 'a' && c <= 'z'; }
bool IsAlphaNum(char c) { return IsUpper(c) || IsLower(c) || (c >= '0' && c <= '9'); }
char ToUpper(char c) { return IsLower(c) ? static_cast<char>(c - 'a' + 'A') : c; }
char ToLower(char c) { return IsUpper(c) ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Folded(const std::string& name) {
    std::string folded(name);
    for (char& c : folded) c = ToUpper(c);
    return folded;
}

// The masks hold one bit per position; positions from 32 on cannot be kept.
constexpr std::size_t kMaskBits = 32;

// The signed decimal number at the start of text, taken as a 32-bit mask
// (a negative number sets bit 31); 0 when there is none.
std::uint32_t ReadMask(const std::string& text) {
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return static_cast<std::uint32_t>(static_cast<unsigned long long>(value));
}

std::string MaskText(std::uint32_t mask) {
    KString text;
    text += static_cast<int>(mask);  // written signed, as the files have it
    return std::string(text.Buffer(), text.GetLen());
}

std::string& NoPrefixBuffer() {
    static std::string buffer;
    return buffer;
}

}  // namespace

KZeqPluginRenamingStrategy::KZeqPluginRenamingStrategy(EMode mode, bool replaceParentheses)
    : mMode(mode), mReplaceParentheses(replaceParentheses) {}

KZeqPluginRenamingStrategy::~KZeqPluginRenamingStrategy() = default;

bool KZeqPluginRenamingStrategy::Rename(KName& name) {
    return mMode == eToZeq ? RenameToZEQ(name) : RenameFromZEQ(name);
}

void KZeqPluginRenamingStrategy::SetClashSoverType(EClashType type) {
    if (type == mClashType) return;
    Forget();
    mClashType = type;
}

void KZeqPluginRenamingStrategy::Forget() {
    mRecords.clear();
    mExact.clear();
    mFolded.clear();
}

void KZeqPluginRenamingStrategy::Remember(const std::string& name) {
    if (!mExact.emplace(name, mRecords.size()).second) return;
    mFolded[Folded(name)].push_back(mRecords.size());
    mRecords.push_back(Record{name, 0});
}

bool KZeqPluginRenamingStrategy::RenameToZEQ(KName& name) {
    const std::string current = name.GetCurrentName();
    // The earliest remembered record that clashes in a way the type handles.
    Record* clash = nullptr;
    if (mClashType == eExactClashes) {
        const auto found = mExact.find(current);
        if (found != mExact.end()) clash = &mRecords[found->second];
    } else {
        const auto bucket = mFolded.find(Folded(current));
        if (bucket != mFolded.end()) {
            for (std::size_t index : bucket->second) {
                Record& record = mRecords[index];
                // Type 2 passes over exact repeats; type 0 takes whichever comes first.
                if (mClashType == eCaseClashes && record.mName == current) continue;
                clash = &record;
                break;
            }
        }
    }

    std::string renamed = current;
    if (clash && clash->mName == current) {
        ++clash->mCount;
        renamed = clash->mName + "_ncl1_" + MaskText(static_cast<std::uint32_t>(clash->mCount));
    } else if (clash) {
        std::uint32_t upper = 0;  // upper case in the remembered name, lower in the new one
        std::uint32_t lower = 0;
        const std::string& remembered = clash->mName;
        for (std::size_t k = 0; k < remembered.size() && k < kMaskBits; ++k) {
            if (remembered[k] == current[k]) continue;
            (IsUpper(remembered[k]) ? upper : lower) |= std::uint32_t(1) << k;
        }
        renamed = remembered + "_ncl2_";
        if (upper) renamed += "ul" + MaskText(upper);
        if (lower) renamed += "lu" + MaskText(lower);
    }
    if (clash) name.SetCurrentName(renamed.c_str());
    Remember(renamed);
    return clash != nullptr;
}

bool KZeqPluginRenamingStrategy::RenameFromZEQ(KName& name) {
    std::string text = name.GetCurrentName();
    bool renamed = false;

    // An exact repeat: "_ncl1_" and its count, or a number in parentheses.
    std::size_t position = text.find("_ncl1_");
    std::size_t close = std::string::npos;
    bool parentheses = false;
    if (position == std::string::npos) {
        const std::size_t open = text.rfind('(');
        close = text.rfind(')');
        if (open != std::string::npos) {
            if (close == std::string::npos || close < open) {
                position = open;
                close = std::string::npos;
                parentheses = true;
            } else if (text.find_first_not_of("0123456789", open + 1) >= close) {
                position = open;
                parentheses = true;
            }
        }
    }
    if (position != std::string::npos && position > 0) {
        name.SetInitialName(text.substr(0, position).c_str());
        if (mReplaceParentheses) {
            text[position] = '_';
            if (parentheses && close != std::string::npos) text[close] = '_';
        }
        name.SetCurrentName(text.c_str());
        renamed = true;
    }

    // A repeat up to case: restore the letters the masks name.
    const std::size_t mark = text.find("_ncl2_");
    if (mark == std::string::npos) {
        const KString initial(name.GetInitialName());
        const KString current(name.GetCurrentName());
        name.SetInitialName(current.Buffer());
        name.SetCurrentName(initial.Buffer());
    } else {
        const std::string tail = text.substr(mark);
        const std::size_t ul = tail.find("ul");
        const std::size_t lu = tail.find("lu");
        std::uint32_t toLower = 0;
        std::uint32_t toUpper = 0;
        if (ul != std::string::npos) {
            const std::size_t end = (lu != std::string::npos && lu > ul) ? lu : tail.size();
            toLower = ReadMask(tail.substr(ul + 2, end - (ul + 2)));
        }
        if (lu != std::string::npos) toUpper = ReadMask(tail.substr(lu + 2));
        name.SetInitialName(text.c_str());
        for (std::size_t k = 0; k < text.size() && k < kMaskBits; ++k) {
            if (toLower & (std::uint32_t(1) << k)) text[k] = ToLower(text[k]);
            if (toUpper & (std::uint32_t(1) << k)) text[k] = ToUpper(text[k]);
        }
        name.SetCurrentName(text.substr(0, mark).c_str());
        renamed = true;
    }

    KString current(name.GetCurrentName());
    name.SetCurrentName(ReplaceNonAlphaNum(current, "_").Buffer());
    return renamed;
}

KString& KZeqPluginRenamingStrategy::ReplaceNonAlphaNum(KString& text, const char* replacement) {
    if (!replacement || !*replacement) return text;
    for (std::size_t i = 0; i < text.GetLen(); ++i)
        if (!IsAlphaNum(text[i])) text[i] = *replacement;
    return text;
}

char* KZeqPluginRenamingStrategy::NoPrefixName(const char* name) {
    std::string& buffer = NoPrefixBuffer();
    buffer = name ? name : "";
    const std::size_t prefix = buffer.find("::");
    if (prefix != std::string::npos) buffer.erase(0, prefix + 2);
    return &buffer[0];
}

char* KZeqPluginRenamingStrategy::NoPrefixName(const KString& name) { return NoPrefixName(name.Buffer()); }
