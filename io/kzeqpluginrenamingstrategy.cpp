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

bool EqualFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (ToUpper(a[i]) != ToUpper(b[i])) return false;
    return true;
}

// FNV-1a of the upper-cased name, mixed so that both halves are usable.
std::uint64_t FoldedHash(std::string_view name) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (char c : name) hash = (hash ^ static_cast<unsigned char>(ToUpper(c))) * 0x100000001b3ULL;
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdULL;
    return hash ^ (hash >> 33);
}

// A slot's control byte: 0 when empty, else the top seven bits of the hash with
// the high bit set. The bytes are small enough to stay in cache when the
// record numbers no longer do, and spare most visits to both.
std::uint8_t ControlOf(std::uint64_t hash) { return static_cast<std::uint8_t>(0x80u | (hash >> 57)); }

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
    mNames.clear();
    mControl.clear();
    mSlots.clear();
}

KZeqPluginRenamingStrategy::Matches KZeqPluginRenamingStrategy::Find(std::string_view name, std::uint64_t hash) const {
    Matches matches;
    if (mControl.empty()) return matches;
    const std::size_t mask = mControl.size() - 1;
    const std::uint8_t control = ControlOf(hash);
    for (std::size_t i = hash & mask; mControl[i] != 0 && (matches.mExact < 0 || matches.mOtherSpelling < 0);
         i = (i + 1) & mask) {
        if (mControl[i] != control) continue;
        const int index = static_cast<int>(mSlots[i]);
        const Record& record = mRecords[static_cast<std::size_t>(index)];
        const std::string_view spelling = NameOf(record);
        if (record.mHash != hash || !EqualFolded(spelling, name)) continue;
        if (matches.mFirst < 0) matches.mFirst = index;
        if (spelling == name) {
            matches.mExact = index;
        } else if (matches.mOtherSpelling < 0) {
            matches.mOtherSpelling = index;
        }
    }
    return matches;
}

void KZeqPluginRenamingStrategy::Insert(std::uint64_t hash, int record) {
    const std::size_t mask = mControl.size() - 1;
    std::size_t i = hash & mask;
    while (mControl[i] != 0) i = (i + 1) & mask;
    mControl[i] = ControlOf(hash);
    mSlots[i] = static_cast<std::uint32_t>(record);
}

void KZeqPluginRenamingStrategy::Remember(std::string_view name, std::uint64_t hash) {
    // Kept at most half full; rebuilt in record order, which keeps each probe sequence in that order.
    if ((mRecords.size() + 1) * 2 > mControl.size()) {
        const std::size_t size = mControl.empty() ? 64 : mControl.size() * 2;
        mControl.assign(size, 0);
        mSlots.resize(size);
        for (std::size_t i = 0; i < mRecords.size(); ++i) Insert(mRecords[i].mHash, static_cast<int>(i));
    }
    mRecords.push_back(Record{hash, mNames.size(), static_cast<std::uint32_t>(name.size()), 0});
    mNames.append(name);
    Insert(hash, static_cast<int>(mRecords.size() - 1));
}

bool KZeqPluginRenamingStrategy::RenameToZEQ(KName& name) {
    const std::string current = name.GetCurrentName();
    const std::uint64_t hash = FoldedHash(current);
    const Matches matches = Find(current, hash);
    // The earliest remembered record that clashes in a way the type handles:
    // type 1 takes the exact spelling only, type 2 any other spelling, type 0 whichever comes first.
    const int found = mClashType == eExactClashes ? matches.mExact
                      : mClashType == eCaseClashes ? matches.mOtherSpelling
                                                   : matches.mFirst;
    if (found < 0) {
        if (matches.mExact < 0) Remember(current, hash);
        return false;
    }

    Record& clash = mRecords[static_cast<std::size_t>(found)];
    const std::string remembered(NameOf(clash));
    std::string renamed;
    if (remembered == current) {
        ++clash.mCount;
        renamed = remembered + "_ncl1_" + MaskText(static_cast<std::uint32_t>(clash.mCount));
    } else {
        std::uint32_t upper = 0;  // upper case in the remembered name, lower in the new one
        std::uint32_t lower = 0;
        for (std::size_t k = 0; k < remembered.size() && k < kMaskBits; ++k) {
            if (remembered[k] == current[k]) continue;
            (IsUpper(remembered[k]) ? upper : lower) |= std::uint32_t(1) << k;
        }
        renamed = remembered + "_ncl2_";
        if (upper) renamed += "ul" + MaskText(upper);
        if (lower) renamed += "lu" + MaskText(lower);
    }
    name.SetCurrentName(renamed.c_str());
    const std::uint64_t renamedHash = FoldedHash(renamed);
    if (Find(renamed, renamedHash).mExact < 0) Remember(renamed, renamedHash);
    return true;
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
