#include "formats/geometry/3ds/krenamingstrategy3ds.h"

#include <cstring>

namespace zeqsdk_400 {

void KRenamingStrategy3DS::Clear() {
    KNumberRenamingStrategy::Clear();
    mCounts.clear();
    mGiven.clear();
}

bool KRenamingStrategy3DS::RemoveNamespacePrefix(char*& text) {
    if (char* separator = std::strstr(text, "::")) std::memmove(text, separator + 2, std::strlen(separator + 2) + 1);
    return true;
}

bool KRenamingStrategy3DS::ReduceName(char*& text, int count) {
    if (count >= 0 && std::strlen(text) > static_cast<std::size_t>(count)) text[count] = '\0';
    return true;
}

bool KRenamingStrategy3DS::Rename(KName& name, int width) {
    char* text = name.GetCurrentName();
    RemoveNamespacePrefix(text);
    // Below 3 the width leaves no room to cut to; the name stays whole.
    if (width >= 3) ReduceName(text, width - 3);
    const std::string cut(text);
    auto seen = mCounts.find(cut);
    if (seen == mCounts.end() && mGiven.count(cut) == 0) {
        mCounts.emplace(cut, 0);
        mGiven.insert(cut);
        name.SetCurrentName(cut.c_str());
        return false;
    }
    int& count = mCounts[cut];
    std::string numbered;
    do {
        const std::string number = std::to_string(++count);
        std::string base = cut;
        if (width >= 3 && base.size() + number.size() > static_cast<std::size_t>(width))
            base.resize(number.size() < static_cast<std::size_t>(width) ? static_cast<std::size_t>(width) - number.size() : 0);
        numbered = base + number;
    } while (mGiven.count(numbered) != 0);
    mGiven.insert(numbered);
    name.SetCurrentName(numbered.c_str());
    return true;
}

}  // namespace zeqsdk_400
