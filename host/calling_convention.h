// Calling convention and export markers shared by the host boundary.
//
// The host is a 32-bit Windows program that pushes every argument on the
// stack and removes them itself after the call (cdecl). We spell that out on
// 32-bit x86, where another convention could otherwise be picked by a
// compiler switch; on 64-bit targets there is only one convention and the
// attribute would merely draw a warning.
#ifndef VELMORA_HOST_CALLING_CONVENTION_H
#define VELMORA_HOST_CALLING_CONVENTION_H

#if defined(_WIN32) && (defined(_M_IX86) || defined(__i386__))
#define VELMORA_CDECL __cdecl
#elif defined(__i386__)
#define VELMORA_CDECL __attribute__((cdecl))
#else
#define VELMORA_CDECL
#endif

// Marks the module's entry points. Compilers of the host's era keep the
// stack only 4-byte aligned, while ours assume 16 bytes on 32-bit x86; the
// entry points therefore realign the stack themselves, so that nothing
// inside the module ever runs on a misaligned frame.
#if defined(__i386__)
#define VELMORA_ENTRY_ALIGN __attribute__((force_align_arg_pointer))
#else
#define VELMORA_ENTRY_ALIGN
#endif

// Marks the module's entry points for export under their plain names.
#if defined(_WIN32)
#define VELMORA_EXPORT __declspec(dllexport)
#else
#define VELMORA_EXPORT __attribute__((visibility("default")))
#endif

#endif
