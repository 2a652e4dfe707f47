#ifndef ZEQ_FCURVE_KFCURVEFILTER_H
#define ZEQ_FCURVE_KFCURVEFILTER_H

#include "base/kerror.h"
#include "base/ktime.h"

namespace zeqsdk_400 {

class KFCurve;
class KFCurveNode;

// The filters of the library; each has a fixed display name and message table,
// kept together in one table (see KFCurveFilterGetInfo).
enum EKFCurveFilterKind : int {
    eKFCurveFilterConstantKeyReducer = 0,
    eKFCurveFilterMatrixConverter,
    eKFCurveFilterResample,
    eKFCurveFilterUnroll,
    eKFCurveFilterGimbleKiller,
    eKFCurveFilterKeyReducer,
    eKFCurveFilterKeySync,
    eKFCurveFilterTimeShiftAndScale,
    eKFCurveFilterKindCount
};

// Name and message table of one filter class. Message i has error identifier i.
struct KFCurveFilterInfo {
    const char* mName;
    const char* const* mMessages;
    int mMessageCount;
};

// The entry of a filter class; a kind outside the table gives an entry with an
// empty name and no messages.
const KFCurveFilterInfo& KFCurveFilterGetInfo(EKFCurveFilterKind kind);

// Error identifiers shared by every table that has them ("No key", "Left unchanged").
enum : int {
    KFCURVEFILTER_ERROR_NO_KEY = 0,
    KFCURVEFILTER_ERROR_LEFT_UNCHANGED = 1,
};

// Base of the operations that rewrite the keys of animation curves in place.
// A filter has a fixed name, a time span limiting the keys it touches and an
// error holder over its class's message table. It is built on the stack, given
// its options, applied and destroyed; it keeps no curve between calls.
//
// The three Apply forms are pure: every concrete filter defines all three. The
// base still has bodies for the array and tree forms (visit each item and call
// the single-curve form), which a filter calls explicitly when they suit it:
//     bool Apply(KFCurveNode& n, bool r) override { return KFCurveFilter::Apply(n, r); }
// A derived class that overrides some overloads should say
// `using KFCurveFilter::Apply;` (and NeedApply) so the others stay visible.
//
// Failures: a false result and SetError(id, longer text); a success leaves an
// earlier error in place.
class KFCurveFilter {
public:
    // Stores the name (not owned), sets the span to 0 .. 0, builds the error
    // holder over the table (static, not owned) with no last error.
    KFCurveFilter(const char* name, const char* const* messages, int messageCount);
    explicit KFCurveFilter(EKFCurveFilterKind kind);
    KFCurveFilter(const KFCurveFilter&) = delete;
    KFCurveFilter& operator=(const KFCurveFilter&) = delete;
    virtual ~KFCurveFilter();

    const char* GetName() const { return mName; }

    // The span [start, stop] the filter works on; no check that start <= stop.
    KTime& GetStartTime() { return mStart; }
    KTime& GetStopTime() { return mStop; }
    void SetStartTime(const KTime& time) { mStart = time; }
    void SetStopTime(const KTime& time) { mStop = time; }

    // The first key a filter looks at: the key before the first key inside the
    // span (0 when the span starts at or before key 1), -1 without keys.
    int GetStartKey(KFCurve& curve) const;
    // One past the last key at or before the stop time: the key count when the
    // span reaches the last key, -1 without keys. Clamp to count - 1 for an index.
    int GetStopKey(KFCurve& curve) const;

    // Whether applying would change anything. The base answers true, after
    // visiting each item (children first, then the node's own curve).
    virtual bool NeedApply(KFCurveNode& node, bool recursive = true);
    virtual bool NeedApply(KFCurve** curves, int count);
    virtual bool NeedApply(KFCurve& curve);

    // The base tree form applies to each child (recursive only) and then to the
    // node's own curve; the array form to each non-null curve in order. Both
    // visit every item whatever the earlier ones answered and answer true.
    virtual bool Apply(KFCurveNode& node, bool recursive = true) = 0;
    virtual bool Apply(KFCurve** curves, int count) = 0;
    virtual bool Apply(KFCurve& curve) = 0;

    // Sets the span to the whole time line; concrete filters reset their own
    // options first and then call this.
    virtual void Reset();

    // A progress hook; empty here and in the library's filters.
    virtual void UpdateProgressInformation(KTime start, KTime stop);

    KError& GetError() { return mError; }
    // -1 when no error was reported.
    int GetLastErrorID() const { return mError.GetLastErrorID(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }

protected:
    // Reports error id with the filter's own text (the table's text when null).
    void SetError(int id, const char* text = nullptr);

private:
    const char* mName;
    KTime mStart;
    KTime mStop;
    KError mError;
};

}  // namespace zeqsdk_400

#endif
