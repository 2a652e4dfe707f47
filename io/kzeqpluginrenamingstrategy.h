#ifndef ZEQ_IO_KZEQPLUGINRENAMINGSTRATEGY_H
#define ZEQ_IO_KZEQPLUGINRENAMINGSTRATEGY_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/kname.h"
#include "base/kstring.h"

// Makes a host's node names unique in a Zeq scene and restores them on import.
// A name seen before becomes, on export, the remembered name followed by
// "_ncl1_" and a running count (an exact repeat) or by "_ncl2_" with "ul" and
// "lu" masks of the letters whose case differs (a repeat up to case); import
// reads these marks (and a trailing number in parentheses) back, keeping the
// file's name as the initial name and the host's name as the current one.
class KZeqPluginRenamingStrategy : public zeqsdk_400::KRenamingStrategy {
public:
    enum EMode : int { eToZeq = 0, eFromZeq = 1 };
    enum EClashType : int { eAllClashes = 0, eExactClashes = 1, eCaseClashes = 2 };

    // Any mode but eToZeq renames from the Zeq form. With replaceParentheses,
    // import also turns the "(" and ")" around a number into "_".
    KZeqPluginRenamingStrategy(EMode mode, bool replaceParentheses);
    ~KZeqPluginRenamingStrategy() override;

    void Clear() override {}
    bool Rename(zeqsdk_400::KName& name) override;
    zeqsdk_400::KRenamingStrategy* Clone() override { return nullptr; }
    // Export: changes the current name only; true when it had to change.
    virtual bool RenameToZEQ(zeqsdk_400::KName& name);
    // Import: sets both names; true when a clash mark was read.
    virtual bool RenameFromZEQ(zeqsdk_400::KName& name);
    // Every byte that is not an ASCII letter or digit becomes the first
    // character of replacement (the text is left alone for an empty one).
    virtual zeqsdk_400::KString& ReplaceNonAlphaNum(zeqsdk_400::KString& text, const char* replacement);

    // A different type forgets every remembered name.
    void SetClashSoverType(EClashType type);

    // The text after the first "::" (all of it when there is none), in a
    // buffer shared by every call and valid until the next one.
    static char* NoPrefixName(const char* name);
    static char* NoPrefixName(const zeqsdk_400::KString& name);

private:
    struct Record {
        std::uint64_t mHash;  // of the upper-cased name
        std::size_t mOffset;  // of the name in mNames
        std::uint32_t mLength;
        int mCount;
    };
    // What one probe finds for a name, as record numbers (-1: none): the
    // first record that folds like it, the first of those spelled otherwise,
    // and the one spelled exactly like it.
    struct Matches {
        int mFirst = -1;
        int mOtherSpelling = -1;
        int mExact = -1;
    };

    Matches Find(std::string_view name, std::uint64_t hash) const;
    void Remember(std::string_view name, std::uint64_t hash);
    std::string_view NameOf(const Record& record) const { return {mNames.data() + record.mOffset, record.mLength}; }
    void Insert(std::uint64_t hash, int record);
    void Forget();

    int mMode;
    EClashType mClashType = eAllClashes;
    bool mReplaceParentheses;
    // Stands in for the search from the first remembered name: one
    // open-addressing table of record numbers keyed by the upper-cased name.
    // Records of one folded name lie along its probe sequence in the order
    // they were added (nothing is ever removed), so the first one met is the
    // earliest. Only the first record of a spelling can ever be matched, so
    // repeats of a spelling are not kept.
    std::vector<Record> mRecords;
    std::string mNames;  // the remembered names, one after the other
    std::vector<std::uint8_t> mControl;  // per slot: empty, or a few bits of the hash
    std::vector<std::uint32_t> mSlots;   // per slot: a record number
};

#endif
