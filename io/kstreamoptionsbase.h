#ifndef ZEQ_IO_KSTREAMOPTIONSBASE_H
#define ZEQ_IO_KSTREAMOPTIONSBASE_H

#include "base/kstring.h"
#include "object/kstreamoptions.h"

namespace zeqsdk_400 {

// Base of the option sets of the geometry formats: options addressed by one
// numbering shared by every format, each format defining the ones it offers
// with a label, a kind, a presentation mode and a default value. An option a
// format does not define is not valid: it reads 0 and cannot be set.
class KStreamOptionsBase : public KStreamOptions {
    KZEQ_CLASS_DECLARE(KStreamOptionsBase)

public:
    enum EOption : int {
        eCREATE_REFERENCE_NODE = 1,
        eFORCE_TRIANGULATION = 2,
        eEVALUATE_DEFORMATIONS = 3,
        eWELD_VERTICES = 4,
        eOBJECT_DERIVATION = 5,
        eLAYER_BLOCK_ENTITY = 6,
        eMATERIALS = 7,
        eTEXTURE_MAPPING = 8,
        eANIM = 9,
        eGEOMETRIES = 10,
        eLIGHTS = 11,
        eCAMERA = 12,
        eAMBIENT_LIGHT = 13,
        eRESCALE = 14,
        eREDUCE_KEYS = 15,
        eSMOOTH_GROUP = 16,
        eUV_PER_POLYGON = 17,
        eOptionCount = 18
    };
    // A label only titles the options after it; a choice holds the index of
    // one of its label's "~"-separated words.
    enum EOptionType : int { eLABEL = 0, eBOOLEAN = 1, eCHOICE = 2 };

    KStreamOptionsBase();

    // Callbacks back to do-nothing ones, no take name, no option defined.
    // Subclasses define theirs after calling this.
    void Reset() override;

    // 0 for an option that is not valid.
    int GetOption(EOption option) const;
    // False, with nothing changed, for an option that is not valid.
    bool SetOption(EOption option, int value);
    bool IsOptionValid(EOption option) const;
    // Empty for an option that is not valid.
    const char* GetOptionName(EOption option) const;
    EOptionType GetOptionType(EOption option) const;
    int GetOptionMode(EOption option) const;

    void SetTakeName(const char* name) { mTakeName = name ? name : ""; }
    const KString& GetTakeName() const { return mTakeName; }

protected:
    // Makes the option valid with these properties; numbers outside the
    // table are ignored.
    void DefineOption(EOption option, const char* name, EOptionType type, int value, int mode = 2);

private:
    struct Option {
        KString mName;
        EOptionType mType = eBOOLEAN;
        int mMode = 0;
        int mValue = 0;
        bool mValid = false;
    };
    const Option* Find(EOption option) const;

    Option mOptions[eOptionCount];
    KString mTakeName;
};

}  // namespace zeqsdk_400

#endif
