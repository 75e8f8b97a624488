// The few routines that the compiler may call on its own when no C runtime is
// linked: block fills and copies for zero-initialised records and structure
// assignments.
#include <stddef.h>

extern "C" {

void* memset(void* destination, int value, size_t size)
{
    unsigned char* p = (unsigned char*)destination;
    while (size--) *p++ = (unsigned char)value;
    return destination;
}

void* memcpy(void* destination, const void* source, size_t size)
{
    unsigned char* d = (unsigned char*)destination;
    const unsigned char* s = (const unsigned char*)source;
    while (size--) *d++ = *s++;
    return destination;
}

void* memmove(void* destination, const void* source, size_t size)
{
    unsigned char* d = (unsigned char*)destination;
    const unsigned char* s = (const unsigned char*)source;
    if (d < s) {
        while (size--) *d++ = *s++;
    } else {
        while (size--) d[size] = s[size];
    }
    return destination;
}

int memcmp(const void* a, const void* b, size_t size)
{
    const unsigned char* x = (const unsigned char*)a;
    const unsigned char* y = (const unsigned char*)b;
    for (; size; --size, ++x, ++y)
        if (*x != *y) return *x < *y ? -1 : 1;
    return 0;
}

}
