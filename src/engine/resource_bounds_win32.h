// A resource's bytes as far as the module's image holds them. The size in a
// resource's data entry is the file's word, and a patched file can make it
// reach past the image: SizeofResource alone is never trusted.
#pragma once
#include <windows.h>

// The bytes of `resource` in `module`, and in *size their count, cut at the
// end of the module's image; null with *size 0 when the data lies outside it.
const unsigned char* LockResourceInImage(HMODULE module, HRSRC resource, unsigned* size);
