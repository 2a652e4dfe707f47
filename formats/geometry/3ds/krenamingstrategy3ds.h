#ifndef ZEQ_FORMATS_GEOMETRY_3DS_KRENAMINGSTRATEGY3DS_H
#define ZEQ_FORMATS_GEOMETRY_3DS_KRENAMINGSTRATEGY3DS_H

#include <string>
#include <unordered_map>
#include <unordered_set>

#include "base/kname.h"

namespace zeqsdk_400 {

// Short unique names for 3D Studio files: drops a namespace prefix ("Model::"),
// cuts the rest to width - 3 characters and numbers a name seen before
// (Cylinde, Cylinde1, Cylinde2). A number never repeats a name handed out
// already, and the base is cut further when the number would not fit the width.
class KRenamingStrategy3DS : public KNumberRenamingStrategy {
public:
    KRenamingStrategy3DS() = default;

    void Clear() override;
    // Width 10: names cut to 7 characters. True when a number was added.
    bool Rename(KName& name) override { return Rename(name, 10); }
    bool Rename(KName& name, int width);
    // A new strategy that has seen no name.
    KRenamingStrategy* Clone() override { return new KRenamingStrategy3DS; }

    // Moves what follows the first "::" to the front of the text, in place.
    static bool RemoveNamespacePrefix(char*& text);
    // Ends the text after count characters, in place.
    static bool ReduceName(char*& text, int count);

private:
    std::unordered_map<std::string, int> mCounts;  // cut name -> clashes numbered so far
    std::unordered_set<std::string> mGiven;        // every name handed out
};

}  // namespace zeqsdk_400

#endif
