/* qv-hostrt.h - the host runtime's entry points, as a stand-in provides them. */
#ifndef QV_HOSTRT_H
#define QV_HOSTRT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

int32_t _zWsoload(int32_t kind, void *descriptor, int32_t reserved);
int32_t _zWsounload(int32_t kind, void *descriptor, int32_t reserved);

#ifdef __cplusplus
}
#endif

#endif
