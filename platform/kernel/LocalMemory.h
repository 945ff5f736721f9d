/* Local memory blocks named by 32-bit handles: the one piece of the host's kernel that decoder
   modules share with it. Modules allocate what they hand back with LocalAlloc; the host locks,
   reads, unlocks and frees it. Bad handles fail cleanly, never crash. A C header, because modules
   may be written in C. */
#ifndef TOVASEL_LOCAL_MEMORY_H
#define TOVASEL_LOCAL_MEMORY_H

#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__)
#define TV_KERNEL_API __attribute__((visibility("default")))
#else
#define TV_KERNEL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t HLOCAL;

#define LMEM_FIXED 0x0000u
#define LMEM_MOVEABLE 0x0002u
#define LMEM_ZEROINIT 0x0040u
#define LHND (LMEM_MOVEABLE | LMEM_ZEROINIT)
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

/* 0 when the block cannot be had. Blocks never move, whatever the flags: only LMEM_ZEROINIT counts. */
TV_KERNEL_API HLOCAL LocalAlloc(uint32_t uFlags, size_t uBytes);
/* The block's address, or NULL for a bad handle. Every lock wants an unlock. */
TV_KERNEL_API void* LocalLock(HLOCAL hMem);
/* Non-zero while the block stays locked; 0 when it is now unlocked or the handle is bad. */
TV_KERNEL_API int32_t LocalUnlock(HLOCAL hMem);
/* 0 on success, the handle itself when it names no block. */
TV_KERNEL_API HLOCAL LocalFree(HLOCAL hMem);
/* The block's size in bytes, 0 for a bad handle. */
TV_KERNEL_API size_t LocalSize(HLOCAL hMem);

/* How many blocks are allocated and not yet freed: lets tests prove that every handle is released. */
TV_KERNEL_API size_t LocalLiveHandles(void);

#ifdef __cplusplus
}
#endif

#endif
