/* hostrt.c - placeholder host runtime: accepts every load and unload. */
#include "qv-hostrt.h"

int32_t _zWsoload(int32_t kind, void *descriptor, int32_t reserved)
{
    (void)kind; (void)descriptor; (void)reserved;
    return 0;
}

int32_t _zWsounload(int32_t kind, void *descriptor, int32_t reserved)
{
    (void)kind; (void)descriptor; (void)reserved;
    return 0;
}
