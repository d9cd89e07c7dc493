#include "vectorstate.h"

#if defined(__x86_64__) || defined(__i386__)
const bool kAvxState = []() {
    __builtin_cpu_init(); // before main, the features may not be known yet
    return bool(__builtin_cpu_supports("avx"));
}();
#else
const bool kAvxState = false;
#endif
