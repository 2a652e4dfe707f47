#ifndef ZEQ_FORMATS_MOTION_ASF_KZEQFILEACCLAIMASF_H
#define ZEQ_FORMATS_MOTION_ASF_KZEQFILEACCLAIMASF_H

#include <memory>

#include "fileio/ktextfile.h"

namespace zeqsdk_400 {

class KZeqAsfNode;
class KZeqAsfScene;

// The Acclaim ASF skeleton text: parsed into, and printed from, a KZeqAsfScene.
class KZeqFileAcclaimAsf : public KTextFile {
public:
    explicit KZeqFileAcclaimAsf(bool messages);
    ~KZeqFileAcclaimAsf() override;

    // Parses the whole file into the scene (which owns what is read);
    // warnings never fail, errors do. Bones without dofs are dissolved when asked.
    bool Read(KZeqAsfScene* scene, bool removeDummies);
    // Prints the whole file; false when a write failed.
    bool Write(KZeqAsfScene* scene);

private:
    // What a section reader leaves: the cursor on the next section's line, the
    // end of the file, or an error (reported).
    enum class ESection { kNext, kEnd, kError };

    ESection ReadVersion();
    ESection ReadName();
    ESection ReadUnits();
    ESection ReadDocumentation();
    ESection ReadRoot();
    ESection ReadBoneData();
    // Reads one bone after its "begin"; leaves the cursor on the "begin" or
    // "end" line that closes it.
    ESection ReadBone();
    ESection ReadHierarchy();
    ESection ReadSkin();
    // Next line; kNext when it begins a section.
    ESection SkipToSection();
    bool AtSection() const;
    bool ReadNumber(double& value);
    bool ReadVector(double* values);
    int ReadAxisOrder();

    bool WriteRoot();
    bool WriteBoneData();
    bool WriteBone(KZeqAsfNode* node, int& id);
    bool WriteHierarchy();
    bool WriteHierarchyRecursive(KZeqAsfNode* node);
    bool WriteFamily(KZeqAsfNode* node);

    struct Tokens;
    std::unique_ptr<Tokens> mTokens;
    KZeqAsfScene* mScene = nullptr;
};

}  // namespace zeqsdk_400

#endif
