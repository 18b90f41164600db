/* SPDX-License-Identifier: MIT */
// allocator.h - how the library obtains and releases memory: always through
// the hook words, read afresh at every call, never through malloc directly.
//
// The library reads the hooks through hookWords rather than by name.  When
// the main program holds copy-relocated copies of the hook words, those
// copies are the words the host assigns; load-time registration then points
// hookWords at them, and every read follows.
#pragma once

#include <qv-utility.h>

namespace qv {

struct HookWords {
    QvMallocHook *allocate;
    QvReallocHook *reallocate;
    QvFreeHook *release;
};

extern HookWords hookWords;

inline void *Allocate(size_t size) { return (*hookWords.allocate)(size); }
inline void *Reallocate(void *block, size_t size)
{
    return (*hookWords.reallocate)(block, size);
}
inline void Release(void *block) { (*hookWords.release)(block); }

} // namespace qv
