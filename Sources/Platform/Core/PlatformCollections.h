// Arrays of objects and the comparison of string objects, and the type of an object.
//
// An array created with kCFTypeArrayCallBacks holds a reference to each of its values and
// releases them with its last reference; without call-backs it holds plain pointers. Every
// function checks that the array it is given is one, so a value of another type (read from
// a preferences file a user has edited, say) behaves as an empty array instead of being
// misread.
#pragma once

#include "PlatformStrings.h"
#include "PlatformTypes.h"

#include <vector>

struct PlatformArray : PlatformObject {
    std::vector<CFTypeRef> values;
    bool retainsValues = false;
    bool isMutable = false;
    CFIndex capacity = 0; // mutable arrays: maximum count, 0 = no maximum
    ~PlatformArray() override;
};

using CFArrayRef = const PlatformArray*;
using CFMutableArrayRef = PlatformArray*;

struct CFArrayCallBacks {
    bool retainsValues;
};
// Values are objects: retained when added, released with the array.
extern const CFArrayCallBacks kCFTypeArrayCallBacks;

// New empty mutable array holding at most `capacity` values (0: no limit). With null
// call-backs the values are not retained. Null for a negative capacity.
CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                       const CFArrayCallBacks* callBacks);

// New mutable array with the values of `array` (and its call-backs), at most `capacity` of
// them (0: all; a longer array is cut there). Null for a null array or a negative capacity.
CFMutableArrayRef CFArrayCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity,
                                           CFArrayRef array);

// New immutable array with the values of `array`; null for a null array.
CFArrayRef CFArrayCreateCopy(CFAllocatorRef allocator, CFArrayRef array);

// Appends `value` (retained when the array retains its values). Nothing happens for an array
// that is null, immutable or full.
void CFArrayAppendValue(CFMutableArrayRef array, const void* value);

// Number of values; 0 for null.
CFIndex CFArrayGetCount(CFArrayRef array);

// The value at `index` (from 0), not retained; null for an index outside the array.
const void* CFArrayGetValueAtIndex(CFArrayRef array, CFIndex index);

// Comparison of string objects, unit by unit. With kCFCompareCaseInsensitive letters are
// compared by their lower-case form (Latin, Greek and Cyrillic, which covers every letter
// that Mac Roman text can hold). A null string sorts before every other string.
using CFComparisonResult = CFIndex;
enum : CFComparisonResult {
    kCFCompareLessThan = -1,
    kCFCompareEqualTo = 0,
    kCFCompareGreaterThan = 1,
};
using CFStringCompareFlags = UInt32;
enum : CFStringCompareFlags { kCFCompareCaseInsensitive = 1 };

CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2,
                                   CFStringCompareFlags compareOptions);

// The kind of an object, for values whose kind is not known in advance (preferences).
using CFTypeID = unsigned long;
CFTypeID CFGetTypeID(CFTypeRef object); // 0 for null or an object of another kind
CFTypeID CFStringGetTypeID();
CFTypeID CFArrayGetTypeID();

// For the platform layer: the array behind `object`, or null when it is not an array.
const PlatformArray* platformArrayCast(CFTypeRef object);
