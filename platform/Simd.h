#pragma once
// The x86 vector instructions, on processors of that family; which of them a
// processor has is asked at run time (__builtin_cpu_supports) before use.
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUILL_HAVE_X86 1
#endif
