#include "PlatformCollections.h"

const CFArrayCallBacks kCFTypeArrayCallBacks = {true};

namespace {

enum : CFTypeID { kStringTypeID = 7, kArrayTypeID = 18 };

PlatformArray* arrayOf(const void* object) {
    if (!object) return nullptr;
    auto* o = const_cast<PlatformObject*>(static_cast<const PlatformObject*>(object));
    return dynamic_cast<PlatformArray*>(o);
}

const PlatformString* stringOf(const void* object) {
    if (!object) return nullptr;
    return dynamic_cast<const PlatformString*>(static_cast<const PlatformObject*>(object));
}

PlatformArray* newArray(bool retains, bool isMutable, CFIndex capacity) {
    auto* a = new PlatformArray;
    a->retainsValues = retains;
    a->isMutable = isMutable;
    a->capacity = capacity;
    return a;
}

void copyValues(const PlatformArray* from, PlatformArray* to, CFIndex limit) {
    for (CFTypeRef v : from->values) {
        if (limit > 0 && CFIndex(to->values.size()) >= limit) break;
        to->values.push_back(to->retainsValues ? CFRetain(v) : v);
    }
}

// Simple lower-case mapping of one UTF-16 unit.
UniChar foldCase(UniChar c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? UniChar(c + 32) : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return UniChar(c + 32);
    if (c == 0x178) return 0xFF;
    if (c == 0x130) return UniChar(u'i'); // capital I with dot above
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return UniChar(c | 1); // pairs: upper case even, lower case odd
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c & 1) ? UniChar(c + 1) : c; // pairs: upper case odd
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return UniChar(c + 32);
    if (c >= 0x400 && c <= 0x40F) return UniChar(c + 80);
    if (c >= 0x410 && c <= 0x42F) return UniChar(c + 32);
    return c;
}

} // namespace

PlatformArray::~PlatformArray() {
    if (retainsValues)
        for (CFTypeRef v : values)
            CFRelease(v);
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef, CFIndex capacity,
                                       const CFArrayCallBacks* callBacks) {
    if (capacity < 0) return nullptr;
    return newArray(callBacks && callBacks->retainsValues, true, capacity);
}

CFMutableArrayRef CFArrayCreateMutableCopy(CFAllocatorRef, CFIndex capacity, CFArrayRef array) {
    const PlatformArray* from = arrayOf(array);
    if (!from || capacity < 0) return nullptr;
    PlatformArray* to = newArray(from->retainsValues, true, capacity);
    copyValues(from, to, capacity);
    return to;
}

CFArrayRef CFArrayCreateCopy(CFAllocatorRef, CFArrayRef array) {
    const PlatformArray* from = arrayOf(array);
    if (!from) return nullptr;
    PlatformArray* to = newArray(from->retainsValues, false, 0);
    copyValues(from, to, 0);
    return to;
}

void CFArrayAppendValue(CFMutableArrayRef array, const void* value) {
    PlatformArray* a = arrayOf(array);
    if (!a || !a->isMutable) return;
    if (a->capacity > 0 && CFIndex(a->values.size()) >= a->capacity) return;
    a->values.push_back(a->retainsValues ? CFRetain(value) : value);
}

CFIndex CFArrayGetCount(CFArrayRef array) {
    const PlatformArray* a = arrayOf(array);
    return a ? CFIndex(a->values.size()) : 0;
}

const void* CFArrayGetValueAtIndex(CFArrayRef array, CFIndex index) {
    const PlatformArray* a = arrayOf(array);
    if (!a || index < 0 || index >= CFIndex(a->values.size())) return nullptr;
    return a->values[size_t(index)];
}

CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2,
                                   CFStringCompareFlags compareOptions) {
    if (!theString1 || !theString2) {
        if (theString1 == theString2) return kCFCompareEqualTo;
        return theString1 ? kCFCompareGreaterThan : kCFCompareLessThan;
    }
    std::u16string_view a = platformStringUnits(theString1);
    std::u16string_view b = platformStringUnits(theString2);
    const bool fold = (compareOptions & kCFCompareCaseInsensitive) != 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        UniChar x = fold ? foldCase(a[i]) : a[i];
        UniChar y = fold ? foldCase(b[i]) : b[i];
        if (x != y) return x < y ? kCFCompareLessThan : kCFCompareGreaterThan;
    }
    if (a.size() == b.size()) return kCFCompareEqualTo;
    return a.size() < b.size() ? kCFCompareLessThan : kCFCompareGreaterThan;
}

CFTypeID CFGetTypeID(CFTypeRef object) {
    if (stringOf(object)) return kStringTypeID;
    if (arrayOf(object)) return kArrayTypeID;
    return 0;
}

CFTypeID CFStringGetTypeID() {
    return kStringTypeID;
}
CFTypeID CFArrayGetTypeID() {
    return kArrayTypeID;
}

const PlatformArray* platformArrayCast(CFTypeRef object) {
    return arrayOf(object);
}
