// The PE room: everything kivpack knows about 32-bit Windows executables,
// behind this one header. Commands, tests and fuzz targets include it rather
// than the files below, which are the room's own layout.
//
//   image.h        PeImage: a PE32 image read and checked field by field
//                  (ReadPeImage, RvaToFileOffset), the PE checksum, and the
//                  writer that gives an image a new resource section
//                  (WritePeWithResources, in write.cpp)
//   resources.h    ResourceSet: the resource tree as a plain model, its
//                  reader and its builder
//   strings.h      string tables: blocks, the stub's texts, payload byte caps,
//                  the 1252 <-> UTF-16 mapping of the installer's texts
//   icons.h        .ICO and .BMP files as icon groups and bitmaps
//   payload_crc.h  the table of payload checksums as a resource
//   version.h      the version resource that Windows shows for a program
//   installer.h    a packed installer's resources as the installer finds
//                  them (one language each, byte caps applied)
//
// Every reader reports a fault as false with a message and never reads
// outside the bytes it was given; every writer checks its limits before it
// writes.
#pragma once

#include "tools/kivpack/pe/icons.h"
#include "tools/kivpack/pe/image.h"
#include "tools/kivpack/pe/installer.h"
#include "tools/kivpack/pe/payload_crc.h"
#include "tools/kivpack/pe/resources.h"
#include "tools/kivpack/pe/strings.h"
#include "tools/kivpack/pe/version.h"
