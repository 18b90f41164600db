// SPDX-License-Identifier: MIT
// consumer.cpp - a C++ host built against the installed library: the header
// compiles as C++, and a store and a buffer work through it.
#include <cstdio>
#include <cstring>

#include <qv-utility.h>

int main()
{
    TripletStore *store = nullptr;
    if (QvAllocStore(&store) != QV_OK || QvAddItem(store, "Display", "Mode", "fast") != QV_OK)
        return 1;
    const char *mode = static_cast<const char *>(QvGetItem(store, "DISPLAY", "mode"));
    bool ok = mode != nullptr && std::strcmp(mode, "fast") == 0;

    char *buffer = nullptr;
    uint32_t capacity = 0, used = 0;
    ok = ok && QvFormatAndAppendToBuffer(&buffer, &capacity, &used, "%s=%d", "items", 1) == QV_OK
         && std::strcmp(buffer, "items=1") == 0;
    QvuFree(buffer);
    QvFreeStore(store);
    std::puts(ok ? "consumer_cxx: ok" : "consumer_cxx: unexpected result");
    return ok ? 0 : 1;
}
