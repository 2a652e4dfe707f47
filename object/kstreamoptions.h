#ifndef ZEQ_OBJECT_KSTREAMOPTIONS_H
#define ZEQ_OBJECT_KSTREAMOPTIONS_H

#include "object/kobject.h"

namespace zeqsdk_400 {

// Progress of a read or write: status text (may be null), a message and the
// percentage done.
typedef void (*kProgressCallback)(const char* status, const char* message, float percent);
// A message to the user: caption, message, up to three button texts (null for
// none) and the default button; answers the chosen button, 1 for the first.
typedef int (*kMessageCallback)(const char* caption, const char* message, const char* button1, const char* button2,
                                const char* button3, int defaultButton);

// Base of every option set of the readers and writers: one progress callback
// and three message callbacks, do-nothing ones until set.
class KStreamOptions : public KObject {
    KZEQ_CLASS_DECLARE(KStreamOptions)

public:
    KStreamOptions();
    KStreamOptions(const KStreamOptions& other);
    // Copies the four callbacks.
    KStreamOptions& operator=(const KStreamOptions& other);

    // Puts the do-nothing callbacks back.
    virtual void Reset();

    // A null callback stands for the do-nothing one.
    void SetProgressCallback(kProgressCallback callback);
    void SetMessageCallback(int which, kMessageCallback callback);  // which: 0 to 2
    kProgressCallback GetProgressCallback() const { return mProgress; }
    kMessageCallback GetMessageCallback(int which) const;

    void ProgressCallback(const char* status, const char* message, float percent) const {
        mProgress(status, message, percent);
    }
    // Which: 0 to 2 (others answer 0 without calling anything).
    int MessageCallback(int which, const char* caption, const char* message, const char* button1,
                        const char* button2, const char* button3, int defaultButton) const;

private:
    kProgressCallback mProgress;
    kMessageCallback mMessage[3];
};

}  // namespace zeqsdk_400

#endif
