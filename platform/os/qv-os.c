// SPDX-License-Identifier: MIT
/*
 * qv-os.c - a stand-in for the product's OS layer, libqv-os_t.so: just the
 * mutex and thread-identity calls that the utility library's store uses.
 *
 * The mutex is the classic three-state futex lock: an uncontended acquire is
 * one compare-and-swap and a release one atomic decrement, with no system
 * call; only a contended waiter enters the kernel and sleeps there.
 *
 * While the process has only ever had one thread, no other thread can see
 * the word, so plain loads and stores do (glibc's own mutex takes the same
 * shortcut).  The C library clears __libc_single_threaded before a second
 * thread starts, and thread creation publishes the word's state to it.
 */
#define _GNU_SOURCE
#include "qv-os.h"

#include <linux/futex.h>
#include <sys/single_threaded.h>
#include <sys/syscall.h>
#include <unistd.h>

/* helgrind and drd know pthread's locks but not this one: to them the lock
 * word is a racy variable and everything it guards a race.  In a build for
 * them (QV_OS_VALGRIND_REQUESTS) the mutex tells them what it is: its word
 * is the synchronisation itself, not data, and a release happens before the
 * next acquire.  Outside valgrind each request is a dozen instructions that
 * do nothing.  (drd obeys helgrind's requests too.) */
#if defined(QV_OS_VALGRIND_REQUESTS)
#include <valgrind/helgrind.h>
#define TOOLS_SEE_LOCK_WORD(mutex) \
    ANNOTATE_BENIGN_RACE_SIZED(&(mutex)->state, sizeof (mutex)->state, "lock word")
#define TOOLS_SEE_ACQUIRE(mutex) ANNOTATE_HAPPENS_AFTER(mutex)
#define TOOLS_SEE_RELEASE(mutex) ANNOTATE_HAPPENS_BEFORE(mutex)
#else
#define TOOLS_SEE_LOCK_WORD(mutex) ((void)0)
#define TOOLS_SEE_ACQUIRE(mutex) ((void)0)
#define TOOLS_SEE_RELEASE(mutex) ((void)0)
#endif

static const char ident[] __attribute__((used)) =
    "@(#)qv-os 1.0 " QV_BUILD_DATE;

enum { UNLOCKED = 0, LOCKED = 1, CONTENDED = 2 };

static void futexWait(int32_t *word, int32_t expected)
{
    syscall(SYS_futex, word, FUTEX_WAIT_PRIVATE, expected, NULL, NULL, 0);
}

static void futexWakeOne(int32_t *word)
{
    syscall(SYS_futex, word, FUTEX_WAKE_PRIVATE, 1, NULL, NULL, 0);
}

static void lock(QvMutex *mutex)
{
    if (__libc_single_threaded && mutex->state == UNLOCKED) {
        mutex->state = LOCKED;
        return;
    }
    int32_t seen = UNLOCKED;
    if (__atomic_compare_exchange_n(&mutex->state, &seen, LOCKED, 0,
                                    __ATOMIC_ACQUIRE, __ATOMIC_RELAXED))
        return;
    /* Mark the lock contended before sleeping so the holder's release knows
     * to wake somebody; whoever takes it this way keeps it marked. */
    if (seen != CONTENDED)
        seen = __atomic_exchange_n(&mutex->state, CONTENDED, __ATOMIC_ACQUIRE);
    while (seen != UNLOCKED) {
        futexWait(&mutex->state, CONTENDED);
        seen = __atomic_exchange_n(&mutex->state, CONTENDED, __ATOMIC_ACQUIRE);
    }
}

static void unlock(QvMutex *mutex)
{
    if (__libc_single_threaded) { /* nobody can be waiting */
        mutex->state = UNLOCKED;
        return;
    }
    if (__atomic_fetch_sub(&mutex->state, 1, __ATOMIC_RELEASE) != LOCKED) {
        __atomic_store_n(&mutex->state, UNLOCKED, __ATOMIC_RELEASE);
        futexWakeOne(&mutex->state);
    }
}

int32_t QvAcquireMutex(QvMutex *mutex, uint32_t threadId)
{
    (void)threadId;
    TOOLS_SEE_LOCK_WORD(mutex); /* a mutex is born by zeroing: say it each time */
    lock(mutex);
    TOOLS_SEE_ACQUIRE(mutex);
    return 0;
}

int32_t QvReleaseMutex(QvMutex *mutex, uint32_t threadId)
{
    (void)threadId;
    TOOLS_SEE_RELEASE(mutex);
    unlock(mutex);
    return 0;
}

int32_t QvFreeMutex(QvMutex *mutex)
{
    (void)mutex;
    return 0;
}

/* gettid is a system call, and a thread asks for its identity twice per
 * store operation, so each thread remembers it.  Initial-exec TLS is one
 * segment-relative load instead of a __tls_get_addr call: this layer is a
 * load-time dependency of its users, so its block is in static TLS.  The
 * first call's system call stays out of line, keeping the common path free
 * of register saves. */
static __thread uint32_t threadId __attribute__((tls_model("initial-exec")));

static __attribute__((noinline, cold)) uint32_t fetchThreadID(void)
{
    threadId = (uint32_t)syscall(SYS_gettid);
    return threadId;
}

uint32_t QvGetThreadID(void)
{
    uint32_t id = threadId;
    return id != 0 ? id : fetchThreadID();
}
