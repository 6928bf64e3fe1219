#include "PlatformStrings.h"

#include <cstring>

namespace {
Str255 gParamTexts[4]; // all empty until ParamText sets them
}

void ParamText(ConstStr255Param p0, ConstStr255Param p1, ConstStr255Param p2, ConstStr255Param p3) {
    ConstStr255Param in[4] = {p0, p1, p2, p3};
    for (int i = 0; i < 4; ++i)
        if (in[i]) std::memcpy(gParamTexts[i], in[i], size_t(in[i][0]) + 1);
}

void GetParamText(StringPtr p0, StringPtr p1, StringPtr p2, StringPtr p3) {
    StringPtr out[4] = {p0, p1, p2, p3};
    for (int i = 0; i < 4; ++i)
        if (out[i]) std::memcpy(out[i], gParamTexts[i], size_t(gParamTexts[i][0]) + 1);
}
