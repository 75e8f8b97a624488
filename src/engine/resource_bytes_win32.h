// The program's own resources as bytes, bounded by the image they lie in.
#pragma once

// The data of resource `id` of `type` in the program's image and, in `size`,
// its length: the size that the resource's data entry gives, cut to what the
// image holds from the data's start on. A size patched into the entry so
// leads no reader beyond the image. Null (size 0) when the resource is
// missing or its data does not start inside the image.
const unsigned char* ResourceBytes(unsigned type, unsigned id, unsigned* size);
