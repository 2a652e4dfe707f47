#ifndef ZEQ_BASE_KSTRING_H
#define ZEQ_BASE_KSTRING_H

#include <cstddef>
#include <type_traits>
#include <vector>

#include "base/kdefs.h"

namespace zeqsdk_400 {

// Byte string with a 64-byte inline buffer; longer texts live on the heap.
// A string made from a null text is "invalid": it reads as "" and IsOK()
// answers false. Empty and invalid strings never touch the heap.
class KString {
public:
    enum PaddingType { eRight = 0, eLeft = 1, eBoth = 2 };
    static constexpr std::size_t kInlineSize = 64;

    KString();
    KString(const char* text);
    KString(const char* text, std::size_t length);
    explicit KString(int value);
    KString(const KString& other);
    KString(KString&& other) noexcept;
    ~KString();

    KString& operator=(const KString& other);
    KString& operator=(KString&& other) noexcept;
    KString& operator=(const char* text);
    // Stores the value printed with "%f".
    KString& operator=(float value);

    bool IsOK() const { return mValid; }
    KString& Invalidate();
    std::size_t GetLen() const { return mLen; }
    bool IsEmpty() const { return mLen == 0; }
    KString& Empty();

    char* Buffer() { return mData; }
    const char* Buffer() const { return mData; }
    char* GetBuffer() { return mData; }
    const char* GetBuffer() const { return mData; }
    operator const char*() const { return mData; }

    // At or past the end: a zero byte (a scratch byte for the writable form).
    template <class I, class = std::enable_if_t<std::is_integral<I>::value>>
    char operator[](I index) const {
        return InRange(index) ? mData[static_cast<std::size_t>(index)] : '\0';
    }
    template <class I, class = std::enable_if_t<std::is_integral<I>::value>>
    char& operator[](I index) {
        if (InRange(index)) return mData[static_cast<std::size_t>(index)];
        return ScratchByte();
    }

    KString& Append(const char* text);
    KString& Append(const char* text, std::size_t length);
    KString& operator+=(const KString& other);
    KString& operator+=(const char* text);
    KString& operator+=(char c);
    KString& operator+=(int value);

    // strcmp order; a null text or an invalid string counts as "".
    int Compare(const char* text) const;
    // Both sides upper-cased, then compared; 0 when equal ignoring case.
    int CompareNoCase(const char* text) const;

    bool operator==(const KString& other) const;
    bool operator!=(const KString& other) const { return !(*this == other); }
    bool operator==(const char* text) const;
    bool operator!=(const char* text) const { return !(*this == text); }
    bool operator<(const KString& other) const;

    // Index of the first occurrence at or after start, -1 when none.
    int Find(char c, unsigned int start = 0) const;
    int Find(const char* text, unsigned int start = 0) const;
    int ReverseFind(char c) const;

    KString Left(unsigned int count) const;
    KString Right(unsigned int count) const;
    KString Mid(unsigned int start) const;
    KString Mid(unsigned int start, unsigned int count) const;
    KString Upper() const;
    KString Lower() const;
    KString Reverse() const;
    KString UnPad(PaddingType type) const;

    // Replaces the first occurrence of find at or after start; false when none.
    bool FindAndReplace(const char* find, const char* replacement, unsigned int start = 0);

    // Tokens are the non-empty runs between delimiter characters.
    int GetTokenCount(const char* delimiters) const;
    KString GetToken(int index, const char* delimiters) const;

private:
    template <class I>
    bool InRange(I index) const {
        if constexpr (std::is_signed<I>::value) {
            if (index < 0) return false;
        }
        return static_cast<unsigned long long>(index) < mLen;
    }
    static char& ScratchByte();
    void Assign(const char* text, std::size_t length);
    void Reserve(std::size_t length, bool exact);
    void FreeHeap();
    bool OnHeap() const { return mData != mInline; }

    char* mData;
    std::size_t mLen;
    std::size_t mCapacity;  // characters that fit, not counting the terminator
    bool mValid;
    char mInline[kInlineSize];
};

KString operator+(const KString& a, const KString& b);
KString operator+(const KString& a, const char* b);
KString operator+(const char* a, const KString& b);
KString operator+(const KString& a, int b);

// List of owned texts, each with a reference value.
class KStringList {
public:
    KStringList() = default;
    KStringList(const KStringList&) = default;
    KStringList& operator=(const KStringList&) = default;
    virtual ~KStringList() = default;

    int GetCount() const { return static_cast<int>(mItems.size()); }
    // Inserts a copy of the text at index (clamped; the count appends); answers the index, -1 when refused.
    virtual int InsertAt(int index, const char* text, kReference reference = 0);
    int Add(const char* text, kReference reference = 0) { return InsertAt(GetCount(), text, reference); }
    void RemoveAt(int index);
    void Clear() { mItems.clear(); }

    // Null / 0 outside 0..count-1.
    const char* GetStringAt(int index) const;
    kReference GetReferenceAt(int index) const;
    void SetReferenceAt(int index, kReference reference);
    KString& operator[](int index) { return mItems[static_cast<std::size_t>(index)].mString; }
    // Index of the first item equal to text, -1 when none.
    int Find(const char* text) const;

private:
    struct Item {
        KString mString;
        kReference mReference;
    };
    std::vector<Item> mItems;
};

}  // namespace zeqsdk_400

#endif
