#include "object/kstreamoptions.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KStreamOptions, KObject, "KStreamOptions")

namespace {

void NoProgress(const char*, const char*, float) {}
int NoMessage(const char*, const char*, const char*, const char*, const char*, int) { return 0; }

}  // namespace

KStreamOptions::KStreamOptions() : mProgress(&NoProgress), mMessage{&NoMessage, &NoMessage, &NoMessage} {}

KStreamOptions::KStreamOptions(const KStreamOptions& other)
    : KObject(), mProgress(other.mProgress), mMessage{other.mMessage[0], other.mMessage[1], other.mMessage[2]} {}

KStreamOptions& KStreamOptions::operator=(const KStreamOptions& other) {
    mProgress = other.mProgress;
    for (int i = 0; i < 3; ++i) mMessage[i] = other.mMessage[i];
    return *this;
}

void KStreamOptions::Reset() {
    mProgress = &NoProgress;
    for (kMessageCallback& message : mMessage) message = &NoMessage;
}

void KStreamOptions::SetProgressCallback(kProgressCallback callback) { mProgress = callback ? callback : &NoProgress; }

void KStreamOptions::SetMessageCallback(int which, kMessageCallback callback) {
    if (which < 0 || which > 2) return;
    mMessage[which] = callback ? callback : &NoMessage;
}

kMessageCallback KStreamOptions::GetMessageCallback(int which) const {
    if (which < 0 || which > 2) return nullptr;
    return mMessage[which];
}

int KStreamOptions::MessageCallback(int which, const char* caption, const char* message, const char* button1,
                                    const char* button2, const char* button3, int defaultButton) const {
    if (which < 0 || which > 2) return 0;
    return mMessage[which](caption, message, button1, button2, button3, defaultButton);
}

}  // namespace zeqsdk_400
