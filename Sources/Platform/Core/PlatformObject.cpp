#include "PlatformTypes.h"

CFTypeRef CFRetain(CFTypeRef object) {
    if (object) static_cast<const PlatformObject*>(object)->refs.fetch_add(1);
    return object;
}

void CFRelease(CFTypeRef object) {
    if (!object) return;
    auto* o = const_cast<PlatformObject*>(static_cast<const PlatformObject*>(object));
    if (o->refs.fetch_sub(1) == 1) delete o;
}
