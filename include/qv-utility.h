/* SPDX-License-Identifier: MIT */
/**
 * \defgroup qv-utility libqv-utility_t.so.2: names, strings, buffers, INI data and a keyed item store
 *
 * qv-utility.h - the public interface of libqv-utility_t.so.2.
 *
 * A flat C interface: status codes, allocator hooks, case-insensitive names,
 * allocated strings, growable text buffers, an INI parser with a one-call
 * lookup, and a keyed item store guarded by a mutex.  Compiles as C99 and C++.
 *
 * Conventions that hold for every function below:
 *  - Functions that can fail return a status code (QV_*); functions that
 *    return a pointer return null on every failure.
 *  - Lengths and sizes are unsigned 32-bit byte counts; a length excludes the
 *    terminating NUL, a size includes it.
 *  - Memory handed to the caller is the caller's, released with QvuFree.
 *  - Names compare without regard to the case of ASCII letters (QvStrCmpCI).
 *  - Threads: the names, strings, buffers and INI functions keep no state
 *    and take no lock, so any number of threads may call them at once (one
 *    buffer is used by one thread at a time).  The store's item functions
 *    and QvClearStore lock the store they are given and may be called from
 *    many threads at once; QvStoreIterate and QvFreeStore take no lock.
 *    Callbacks run on the calling thread, before the call returns.  The
 *    hooks are plain words: set them before other threads start.
 *
 * Each family of functions has its own page: qv-names(3), qv-strings(3),
 * qv-buffers(3), qv-ini(3) and qv-store(3).
 *
 * \par Building a host
 * Include the one header:
 * \code
 * #include <qv-utility.h>
 * \endcode
 * \par
 * Link libqv-utility_t.so.2 (Debian: libqv-utility-dev, and
 * libqv-utility-dev:i386 for i386 hosts).  With pkg-config, for x86_64 and
 * for i386 with the native compiler:
 * \code
 * cc host.c $(pkg-config --cflags --libs qv-utility) -lproduct-runtime
 * export PKG_CONFIG_LIBDIR=/usr/lib/i386-linux-gnu/pkgconfig
 * cc -m32 host.c $(pkg-config --cflags --libs qv-utility) -lproduct-runtime
 * \endcode
 * \par
 * With CMake (for i386, configure with
 * -DCMAKE_TOOLCHAIN_FILE=/usr/share/qv-utility/i386.cmake, which the
 * package installs):
 * \code
 * find_package(QvUtility 2 REQUIRED)
 * target_link_libraries(host PRIVATE QvUtility::utility product::runtime)
 * \endcode
 *
 * \par What the library needs from the process
 * The library depends on the product's OS layer, libqv-os_t.so (the mutex
 * and thread identity of the store), and calls the product's host runtime
 * when it is loaded and unloaded: _zWsoload and _zWsounload, which the
 * process must define.  Both are needed when a host program is linked, not
 * only when it runs: linking with the library alone fails with undefined
 * references to _zWsoload and QvAcquireMutex.  So link the product's host
 * runtime, and let the linker and the loader find the product's OS layer
 * (-L and -Wl,-rpath-link at link time; the product's RPATH or
 * LD_LIBRARY_PATH at run time).  Without the product, link the stand-ins
 * instead (Debian: qv-platform-dev), which carry their own search path:
 * \code
 * cc host.c $(pkg-config --cflags --libs qv-utility qv-platform)
 * find_package(QvUtility 2 REQUIRED COMPONENTS platform)
 * target_link_libraries(host PRIVATE QvUtility::utility QvUtility::host-runtime)
 * \endcode
 * \par
 * The library is bound at load time: a process without _zWsoload cannot
 * load it, and the dynamic loader names the missing symbol.
 */
#ifndef QV_UTILITY_H
#define QV_UTILITY_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define QV_API __attribute__((visibility("default")))
#define QV_PRINTF_LIKE(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define QV_API
#define QV_PRINTF_LIKE(fmt, args)
#endif

#if defined(QV_UTILITY_BUILD) && defined(__GNUC__)
#define QV_HOOK_WORD extern QV_API __attribute__((deprecated("read hooks through qv::hookWords")))
#else
#define QV_HOOK_WORD extern QV_API
#endif

/** \addtogroup qv-utility
 * \{ */

/* ---- Version ----------------------------------------------------------- */

#define QV_UTILITY_VERSION_MAJOR  2        /**< incompatible changes; the soname's number */
#define QV_UTILITY_VERSION_MINOR  0        /**< additions that keep the interface */
#define QV_UTILITY_VERSION_PATCH  0        /**< fixes */
#define QV_UTILITY_VERSION_STRING "2.0.0"  /**< the three numbers, dotted */

/* ---- Status codes ------------------------------------------------------ */

#define QV_OK            0  /**< success */
#define QV_BAD_BUFFER    1  /**< a buffer's used length exceeds its capacity */
#define QV_NOT_FOUND     4  /**< no such item or INI entry */
#define QV_DONE          5  /**< a callback's way to end a walk early (qv-ini(3)) */
#define QV_INVALID_ARG   6  /**< a required argument is null (or a length zero) */
#define QV_NO_MEMORY     7  /**< an allocation through the hooks failed */
#define QV_BAD_DATA     10  /**< INI line too long, or store item of the other type */
#define QV_FORMAT_FAILED 11 /**< vsnprintf reported an error */
#define QV_TRUNCATED    16  /**< a value was cut to fit the caller's buffer */

/* ---- Item types of the store ------------------------------------------- */

#define QV_ITEM_STRING   1  /**< the value is a string the store owns */
#define QV_ITEM_POINTER  4  /**< the value is an opaque pointer the caller owns */

/* ---- Allocator hooks --------------------------------------------------- */

/**
 * \name Allocator hooks
 *
 * Every block the library obtains or releases goes through these words, read
 * afresh at each call.  They start as malloc, realloc and free.  A host may
 * assign them directly or through QvSetUtilAllocators; do it at start-up,
 * before other threads use the library and before the library allocates
 * anything that will later be released through a different hook.
 *
 * Direct assignment works from any program, PIE or not: where the program
 * holds copy-relocated copies of these words, the library finds them when it
 * is loaded and reads those.  For the same reason the library itself never
 * names the words; building it turns a use by name into an error.
 * \{
 */
typedef void *(*QvMallocHook)(size_t size);               /**< as malloc */
typedef void *(*QvReallocHook)(void *block, size_t size); /**< as realloc */
typedef void (*QvFreeHook)(void *block);                  /**< as free */
QV_HOOK_WORD QvMallocHook QvuMalloc;    /**< obtains every block */
QV_HOOK_WORD QvReallocHook QvuRealloc;  /**< grows every block */
QV_HOOK_WORD QvFreeHook QvuFree;        /**< releases every block */
/** \} */

/** Returns 2 when arg is non-null, QV_OK when it is null.  No other effect;
 * the library needs no initialisation call. */
QV_API int32_t QvUtilityInitialize(void *arg);

/** Replaces each hook whose argument is non-null; null leaves that hook as it
 * is.  Always QV_OK.  Not synchronised with other threads. */
QV_API int32_t QvSetUtilAllocators(QvMallocHook allocate, QvReallocHook reallocate,
                            QvFreeHook release);

/** \} */

/**
 * \defgroup qv-names Case-insensitive comparison and lower-casing of names
 * \ingroup qv-utility
 *
 * A name is a string of bytes in no particular character set.  Two names
 * are the same name when they differ only in the case of ASCII letters, as
 * the thread's locale folds them: each byte below 0x80 goes through
 * tolower(), and a position where either byte is 0x80 or above compares the
 * two bytes as they are.  The store and the INI lookup match sections and
 * keys this way.
 *
 * \par Locales that fold ASCII letters elsewhere
 * In the C locale and in most others (en_US.UTF-8, de_DE.ISO-8859-1),
 * tolower() folds 'A' to 'Z' onto 'a' to 'z' and changes nothing else below
 * 0x80.  The Turkish locales do not: tr_TR.ISO-8859-9 folds 'I' to 0xFD (a
 * dotless i), and tr_TR.UTF-8 leaves 'I' as it is.  There 'INFO' and 'info' are
 * different names, and QvStringToLC turns 'INFO' into '\\xFDnfo', which no
 * longer matches 'INFO' either, because its first byte is above 0x7F and so
 * compares unfolded.  A host that lower-cases keys itself before storing
 * them then finds nothing under the keys as written.  Let the library
 * compare names rather than lower-casing them first, and run name lookups
 * in a locale that folds as the C locale does (uselocale() switches one
 * thread).
 * \{
 */

/**
 * Compares two strings, folding each byte below 0x80 with tolower(); a
 * position where either byte is 0x80 or above compares the bytes unchanged.
 * A null string sorts before every string, the empty one included.
 * Returns exactly -1, 0 or 1.  No allocation, no state, any thread.
 */
QV_API int32_t QvStrCmpCI(const char *first, const char *second);

/** As QvStrCmpCI over at most count byte positions; a count of 0 gives 0
 * unless exactly one string is null. */
QV_API int32_t QvStrCmpCIN(const char *first, const char *second, uint32_t count);

/** Lower-cases the bytes below 0x80 of text in place.  QV_OK, or
 * QV_INVALID_ARG for a null text. */
QV_API int32_t QvStringToLC(char *text);

/** \} */

/**
 * \defgroup qv-strings Duplicated and formatted strings in fresh memory
 * \ingroup qv-utility
 *
 * Each string comes in a block of its own from QvuMalloc, which the caller
 * releases with QvuFree.
 * \{
 */

/** A copy of text in a block of exactly strlen(text) + 1 bytes from QvuMalloc,
 * or null when text is null or the allocation fails.  Caller frees. */
QV_API char *QvDupString(const char *text);

/**
 * Formats with vsnprintf into a new block and returns it, or null on a null
 * format, a negative sizeHint, a formatting error or a failed allocation (no
 * memory is left allocated then).  sizeHint is the first block's size; 0 asks
 * for an estimate from the format.  The block is trimmed to the string when
 * it would otherwise waste more than 64 bytes.  Caller frees.
 */
QV_API char *QvAllocateAndFormatString(int32_t sizeHint, const char *format, ...)
    QV_PRINTF_LIKE(2, 3);

/** \} */

/**
 * \defgroup qv-buffers Growable text buffers, appended and formatted into
 * \ingroup qv-utility
 *
 * A buffer is three caller variables: a block pointer (null when empty), its
 * capacity and its used length.  The block is always capacity + 1 bytes, and
 * grows through QvuRealloc, additively, with 1024 bytes of slack; it never
 * shrinks.  Growth may move the block: data appended must not point into it.
 * One thread at a time per buffer.  The caller frees the block with QvuFree.
 * \{
 */

/** Grows the block to wanted + 1 bytes unless capacity >= wanted already.
 * QV_OK, QV_INVALID_ARG (a null address), or QV_NO_MEMORY with the buffer
 * unchanged. */
QV_API int32_t QvEnlargeGivenBuf(char **buffer, uint32_t *capacity, uint32_t wanted);

/** Appends length raw bytes (no terminator is written).  QV_OK,
 * QV_INVALID_ARG (a null address or data), QV_BAD_BUFFER (used > capacity)
 * or QV_NO_MEMORY; on failure the content is unchanged. */
QV_API int32_t QvAppendToBuffer(char **buffer, uint32_t *capacity, uint32_t *used,
                         const void *data, uint32_t length);

/** Appends vsnprintf output and leaves a NUL after it.  QV_OK,
 * QV_INVALID_ARG, QV_BAD_BUFFER, QV_NO_MEMORY or QV_FORMAT_FAILED; on failure
 * the used length is unchanged (a growth already made stays). */
QV_API int32_t QvFormatVAListAndAppendToBuffer(char **buffer, uint32_t *capacity,
                                        uint32_t *used, const char *format,
                                        va_list args)
    QV_PRINTF_LIKE(4, 0);

/** The variadic form of QvFormatVAListAndAppendToBuffer. */
QV_API int32_t QvFormatAndAppendToBuffer(char **buffer, uint32_t *capacity,
                                  uint32_t *used, const char *format, ...)
    QV_PRINTF_LIKE(4, 5);

/** \} */

/**
 * \defgroup qv-ini INI text parser and one-call value lookup
 * \ingroup qv-utility
 *
 * The dialect, line by line.  Lines end in a line feed; whitespace
 * (QvIniIsSpace) before a line's first character is skipped, and so are
 * blank lines.
 *  - A line whose first character is ';' is a comment.  '#' starts no
 *    comment (the line '# a = b' is an entry with the key '# a'), and no
 *    comment follows text: in 'mode = fast ; note' the value is
 *    'fast ; note'.
 *  - A line '[name]' opens a section: the name is everything after the '['
 *    up to the first ']' or the end of the line, blanks included, cut at
 *    QV_INI_MAX_SECTION bytes; text after the ']' is ignored.
 *  - A line 'key = value' is an entry: the key runs to the first '=', the
 *    value from there to a carriage return or the end of the line, and both
 *    are trimmed of whitespace.  A value longer than QV_INI_MAX_FIELD bytes
 *    is cut to its first QV_INI_MAX_FIELD without notice.
 *  - An entry with nothing after its '=' ('mode =' or 'mode='), or whose
 *    key is longer than QV_INI_MAX_FIELD bytes, is reported with a null
 *    value and keyed by its whole line, untrimmed, with the '=' and all
 *    after it.  So QvGetIniValue answers QV_NOT_FOUND for the key 'mode'
 *    when the text says 'mode =', and finds that entry only under the key
 *    'mode =' (its value then reads as the empty string).
 *  - A line longer than QV_INI_MAX_LINE bytes after its indentation (a
 *    carriage return before the line feed counts, and so do comments) ends
 *    the parse with QV_BAD_DATA; the reports made before it stand.
 *  - Any other line is ignored: one without '=' that is no header, one
 *    that begins with '=', and the lines '[]' and '['.
 *
 * There is no quoting, no escape, no continuation line.  Names and values
 * are reported as written, case included, and every header and entry is
 * reported in text order, so a section or a key may occur many times; the
 * lookup takes the first match.  Entries above the first header have a
 * null section.
 *
 * \par Where QV_DONE comes from
 * A callback returns a non-zero status to end the parse early, and
 * QvParseIniData returns that status unchanged.  QV_DONE is the one meant
 * for a search that has found what it wanted: QvGetIniValue's own callback
 * returns it at the match, and QvGetIniValue reports QV_OK.  A callback of the caller's may
 * return it too; QvParseIniData then returns QV_DONE.  Store walks end the
 * same way (QvStoreIterate).
 * \{
 */

/**
 * \name The dialect's limits
 * Counted in bytes.  A line is counted from its first character that is not
 * whitespace to its line feed (a carriage return before it counts).
 * \{
 */
#define QV_INI_MAX_LINE    260 /**< longest line; a longer one ends the parse with QV_BAD_DATA */
#define QV_INI_MAX_SECTION 256 /**< longest section name; a longer one is cut */
#define QV_INI_MAX_FIELD    80 /**< longest key or value; a longer value is cut, and a
                                    longer key makes the line an entry without a value */
/** \} */

/** The parser's whitespace: space, \\t, \\n, \\v, \\f and \\r, as isspace() in
 * the POSIX locale whatever locale the host has set; no byte from 0x80 up. */
static inline int QvIniIsSpace(int c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

/**
 * Called for each section header (key and value null) and each entry (value
 * null for an entry without one) in text order.  section is null for entries
 * above the first header.  The strings live only until the callback returns
 * (the section until the next header).  Return QV_OK to go on; any other
 * value ends the parse and becomes its result.
 */
typedef int32_t (*IniCallback)(const char *section, const char *key,
                               const char *value, void *context);

/**
 * Parses NUL-terminated INI text: lines end in a line feed; leading
 * whitespace is skipped; ';' starts a comment line; "[name]" opens a section
 * (name cut at 256 characters); "key = value" is an entry (key and value cut
 * at 80 characters and trimmed; the value ends at a carriage return).  A line
 * may hold at most 260 characters.  No allocation, no state.
 * QV_OK, QV_INVALID_ARG (null text or callback), QV_BAD_DATA (a line too
 * long; reports made before it stand), or the callback's non-zero result.
 */
QV_API int32_t QvParseIniData(const char *text, IniCallback callback, void *context);

/**
 * Copies the value of the first entry matching section (null: above the
 * first header) and key into buffer (size bytes, NUL included).
 * QV_OK, QV_TRUNCATED (the buffer holds a cut, terminated prefix),
 * QV_NOT_FOUND (buffer untouched), QV_BAD_DATA (overlong line before a match)
 * or QV_INVALID_ARG.  A buffer of 81 bytes always receives a value whole.
 */
QV_API int32_t QvGetIniValue(const char *text, const char *section, const char *key,
                      char *buffer, uint32_t size);

/** \} */

/**
 * \defgroup qv-store Keyed item store of string and pointer items
 * \ingroup qv-utility
 *
 * \par Costs
 * The table has 256 buckets, chosen by the section alone, and never
 * grows.  Every lookup (adding, replacing, finding, copying, getting,
 * storing or retrieving a pointer) walks its section's bucket: all items of
 * that section and of the sections that hash alike; the hash sums the
 * folded bytes, so "Ab" and "ba" collide, and Section0 to Section99999 fill
 * only 132 buckets.  Removing an item also walks the list of all items;
 * clearing, freeing and a whole walk are linear in the store.  Loading n
 * keys into one section therefore takes time quadratic in n: on a busy
 * two-core machine 10,000 keys took 0.2 s (i386) and 0.4 s (x86_64),
 * 100,000 keys 25 s and 90 s.  Memory: the store is one block of 1,032
 * bytes (2,064 on x86_64); an item is a node of 24 bytes (40), a bucket
 * link of 8 (16) and copies of its section, key and string value, each a
 * block of its own, to which glibc's malloc adds 4 bytes (8) and rounds up
 * to 16 (at least 16; 32 on x86_64).  A string item whose names and value
 * take 10, 14 and 3 bytes with their terminators costs 5 blocks and 112
 * bytes (176); a pointer item 4 blocks.  So load a large or untrusted file
 * only after bounding its items per section and in all, or keep such data
 * in a container of your own.
 * \{
 */

/** An opaque store of (section, key) items; names compare as QvStrCmpCI. */
typedef struct TripletStore TripletStore;

/**
 * Called for each item of a walk with the store's own section, key and value
 * (a string for a string item, the caller's pointer for a pointer item).
 * Return 0 to go on; any other value stops the walk.
 */
typedef int32_t (*StoreCallback)(const char *section, const char *key,
                                 void *value, void *context);

/** Creates an empty store in *store.  QV_OK, QV_INVALID_ARG, or QV_NO_MEMORY
 * with *store set to null. */
QV_API int32_t QvAllocStore(TripletStore **store);

/** Destroys the store and everything it owns.  Takes no lock: no other thread
 * may use the store from the moment it is called.  QV_OK or QV_INVALID_ARG. */
QV_API int32_t QvFreeStore(TripletStore *store);

/** Empties the store under its lock; it stays usable.  QV_OK or
 * QV_INVALID_ARG. */
QV_API int32_t QvClearStore(TripletStore *store);

/** Adds a string item, or replaces the value of the existing one (which keeps
 * its names, and turns into a string item if it held a pointer).  value is
 * copied and may be the item's own current value.  QV_OK, QV_INVALID_ARG or
 * QV_NO_MEMORY (the store is then unchanged). */
QV_API int32_t QvAddItem(TripletStore *store, const char *section, const char *key,
                  const char *value);

/** Removes an item; a pointer value is not released.  QV_OK, QV_NOT_FOUND or
 * QV_INVALID_ARG. */
QV_API int32_t QvRemoveItem(TripletStore *store, const char *section,
                     const char *key);

/** Copies a string item's value into buffer, filling all size bytes (the
 * value, cut to size - 1 bytes without notice, then NULs).  QV_OK,
 * QV_NOT_FOUND, QV_BAD_DATA (a pointer item) or QV_INVALID_ARG (also for a
 * size of 0). */
QV_API int32_t QvFindItem(TripletStore *store, const char *section, const char *key,
                   char *buffer, uint32_t size);

/** A fresh copy of a string item's value, which the caller frees; null when
 * there is no such string item or memory runs out. */
QV_API char *QvCopyItem(TripletStore *store, const char *section, const char *key);

/** The stored value itself, whatever the item's type, or null.  A string stays
 * valid until its item is replaced or removed or the store is cleared or
 * freed, by any thread; do not change or free it. */
QV_API void *QvGetItem(TripletStore *store, const char *section, const char *key);

/** Adds a pointer item or replaces an existing pointer item's pointer (null
 * allowed; the store never reads or frees it).  QV_OK, QV_BAD_DATA (a string
 * item exists), QV_INVALID_ARG or QV_NO_MEMORY. */
QV_API int32_t QvStorePtr(TripletStore *store, const char *section, const char *key,
                   void *pointer);

/** Reads a pointer item into *pointer.  QV_OK, QV_NOT_FOUND, QV_BAD_DATA (a
 * string item) or QV_INVALID_ARG; *pointer is written only on QV_OK. */
QV_API int32_t QvRetrievePtr(TripletStore *store, const char *section,
                      const char *key, void **pointer);

/**
 * Walks all items (section null) or one section's items: buckets in order,
 * newest first within a bucket.  Takes no lock: other threads may only read
 * the store meanwhile.  The callback may read, add and replace items and
 * remove items other than the one it was handed.  Returns QV_OK after a
 * complete or stopped walk (or QV_INVALID_ARG); *lastResult, when given,
 * receives 0 after a complete walk or the callback's stopping value.
 */
QV_API int32_t QvStoreIterate(TripletStore *store, const char *section,
                       StoreCallback callback, void *context,
                       int32_t *lastResult);

/** \} */

#ifdef __cplusplus
}
#endif

#endif /* QV_UTILITY_H */
