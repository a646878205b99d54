// The C runtime's thread calls.
#pragma once
#include <winnt.h>
#include <stdint.h>

// Starts a thread; its handle closes itself when the thread ends. Returns the
// handle, or (uintptr_t)-1 on failure.
EXTERN_C uintptr_t __cdecl _beginthread(void(__cdecl *start_address)(void *), unsigned stack_size, void *arglist);
// Starts a thread whose handle the caller closes. Returns the handle, or 0 on failure.
EXTERN_C uintptr_t __cdecl _beginthreadex(void *security, unsigned stack_size,
                                          unsigned(__stdcall *start_address)(void *), void *arglist,
                                          unsigned initflag, unsigned *thrdaddr);
EXTERN_C void __cdecl _endthread(void) __attribute__((noreturn));
EXTERN_C void __cdecl _endthreadex(unsigned retval) __attribute__((noreturn));
