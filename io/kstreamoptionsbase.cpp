#include "io/kstreamoptionsbase.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KStreamOptionsBase, KStreamOptions, "KStreamOptionsBase")

KStreamOptionsBase::KStreamOptionsBase() { KStreamOptionsBase::Reset(); }

void KStreamOptionsBase::Reset() {
    KStreamOptions::Reset();
    for (Option& option : mOptions) option = Option();
    mTakeName.Empty();
}

const KStreamOptionsBase::Option* KStreamOptionsBase::Find(EOption option) const {
    if (option < 0 || option >= eOptionCount || !mOptions[option].mValid) return nullptr;
    return &mOptions[option];
}

int KStreamOptionsBase::GetOption(EOption option) const {
    const Option* found = Find(option);
    return found ? found->mValue : 0;
}

bool KStreamOptionsBase::SetOption(EOption option, int value) {
    if (!Find(option)) return false;
    mOptions[option].mValue = value;
    return true;
}

bool KStreamOptionsBase::IsOptionValid(EOption option) const { return Find(option) != nullptr; }

const char* KStreamOptionsBase::GetOptionName(EOption option) const {
    const Option* found = Find(option);
    return found ? found->mName.Buffer() : "";
}

KStreamOptionsBase::EOptionType KStreamOptionsBase::GetOptionType(EOption option) const {
    const Option* found = Find(option);
    return found ? found->mType : eLABEL;
}

int KStreamOptionsBase::GetOptionMode(EOption option) const {
    const Option* found = Find(option);
    return found ? found->mMode : 0;
}

void KStreamOptionsBase::DefineOption(EOption option, const char* name, EOptionType type, int value, int mode) {
    if (option < 0 || option >= eOptionCount) return;
    Option& defined = mOptions[option];
    defined.mName = name ? name : "";
    defined.mType = type;
    defined.mMode = mode;
    defined.mValue = value;
    defined.mValid = true;
}

}  // namespace zeqsdk_400
