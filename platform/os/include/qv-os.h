/* SPDX-License-Identifier: MIT */
/*
 * qv-os.h - the part of the product's OS layer (libqv-os_t.so) that the
 * utility library's store relies on: a mutex that a store embeds by value and
 * the calling thread's identity.
 *
 * A QvMutex that is all-zero and never initialised is an unlocked mutex, so a
 * store can create one by zeroing memory.  A waiter sleeps in the kernel
 * instead of spinning.  The mutex is not recursive.
 */
#ifndef QV_OS_H
#define QV_OS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct QvMutex {
    /* 0 unlocked, 1 locked, 2 locked with sleepers; only the OS layer
     * reads or writes it. */
    int32_t state;
} QvMutex;

/* Returns once the calling thread holds the mutex. */
int32_t QvAcquireMutex(QvMutex *mutex, uint32_t threadId);

/* Releases a mutex the calling thread holds. */
int32_t QvReleaseMutex(QvMutex *mutex, uint32_t threadId);

/* Ends the mutex's life; nobody may hold it.  This layer keeps nothing for a
 * mutex outside the object itself, so there is nothing to release. */
int32_t QvFreeMutex(QvMutex *mutex);

/* The calling thread's identity (its kernel thread id). */
uint32_t QvGetThreadID(void);

#ifdef __cplusplus
}
#endif

#endif /* QV_OS_H */
