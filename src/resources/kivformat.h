// What the installer and the packer agree on: resource ids, string ids and the
// SZDD container. Included by the installer, by kivpack and by kivinstall.rc.
//
//  kivinstall.exe (resource mode)
//  +-----------------------------+
//  | code, data, imports         |   the stub as built: kept byte for byte
//  +-----------------------------+
//  | .rsrc                       |
//  |   RT_DIALOG   1000 .. 2900  |   dialog templates of the stub
//  |   RT_STRING   8000 .. 8011  |   texts (blocks 501, 502 of 16 strings)
//  |   RT_STRING   8015          |   the stub's release (below)
//  |   RT_STRING  10000 ..       |   optional byte caps of payload resources
//  |   RT_ICON / RT_GROUP_ICON   |   icon 3000
//  |   RT_BITMAP   500           |   optional fonts-only picture
//  |   type 256   12000          |   install script       (SZDD)
//  |   type 256   12001          |   help file            (SZDD)
//  |   type 256   12002 ..       |   disk files in script order (SZDD)
//  |   type 257   1              |   help topics as text (below)
//  |   type 259   1              |   their bold, italic and jumps (below)
//  |   type 258   1              |   CRC-32 of each payload (below)
//  +-----------------------------+
//
//  SZDD container
//  offset size
//   0     8    53 5A 44 44 88 F0 27 33   "SZDD" 0x88 0xF0 0x27 0x33
//   8     1    0x41 ('A'), the only compression mode
//   9     1    last character of the original name, 0 when not recorded
//  10     4    expanded length, unsigned little-endian
//  14     ...  groups: a control byte (bit i set: item i is a literal byte;
//              clear: a match b0 b1, position b0 | (b1 & 0xF0) << 4,
//              length (b1 & 0x0F) + 3), then up to eight items. The window
//              is a 4,096-byte ring of spaces whose write position starts
//              at 4,080.
//
//  Help text (type 257, id 1): the help file's topics as plain text, which
//  the installer shows itself where the system has no help viewer. Written
//  by kivpack from the packed help file; absent when that is not readable.
//  offset size
//   0     4    number of topics, unsigned little-endian
//   4     ...  the topics in help-file order, each:
//              0  4  help context, unsigned little-endian
//              4  4  size of this record, these 8 bytes included
//              8  .. title, NUL-terminated
//              .. .. text, NUL-terminated; lines end in CR LF and an empty
//                    line separates paragraphs
//              The title and the text are ANSI (code page 1252) and together
//              fill the record exactly.
//
//  Help styles (type 259, id 1): the bold, italic and jumps of the help
//  text's topics, which the installer's own help dialog shows where it can
//  load a RichEdit control. Written by kivpack beside the help text; an
//  installer without it, or with a damaged one, shows the text unformatted.
//  offset size
//   0     4    number of topics, the same as the help text's
//   4     ...  one record per topic of the help text, in the same order:
//              0  4  help context of that topic
//              4  4  size of this record, these 8 bytes included
//              8  .. runs of 8 bytes each, from the start of the text on:
//                    0  2  length in bytes of the text (CR LF counts two)
//                    2  2  style bits: 1 bold, 2 italic, 4 a jump
//                    4  4  help context a jump opens, 0 for other runs
//              The runs cover the text or a first part of it; the rest is
//              plain.
//
//  Payload checksums (type 258, id 1), written by kivpack into an installer
//  and into a disk set's SETUP.EXE; an installer without them checks nothing.
//  offset size
//   0     2    number of records, unsigned little-endian
//   2     ...  the records, each:
//              0  4  CRC-32 (polynomial 0xEDB88320 reflected, start and final
//                    inversion, as zip) of the stored file's expanded bytes
//              4  2  resource id of the payload; 0 in a disk set
//              6  1  disk number 1 to 32 in a disk set; 0 for a payload
//              7  1  length n of the source name; 0 for a payload
//              8  n  the source name as the script gives it (no NUL),
//                    compared without regard to case
//              An appended part has a record of its own: its own bytes.
//
//  Installed files (type 260, id 1), written by kivpack into the uninstaller
//  it makes: what each file of the target directory holds right after the
//  installation, so that the uninstaller keeps a file changed since.
//  offset size
//   0     2    number of records, unsigned little-endian
//   2     ...  the records, each:
//              0  4  CRC-32 (as above) of the whole installed file: a file
//                    assembled from appended parts has one record for all
//              4  4  its size in bytes
//              8  1  length n of the destination name
//              9  n  the destination name below the target directory, as
//                    the script gives it (no NUL), compared without regard
//                    to case
//              A destination that the lines of several display classes
//              fill differently has a record for each.
#pragma once

#define KIV_PAYLOAD_TYPE 256
#define KIV_SCRIPT_RESOURCE 12000
#define KIV_HELP_RESOURCE 12001
#define KIV_FIRST_FILE_RESOURCE 12002
// String id (resource id - KIV_CAP_STRING_OFFSET) caps the bytes taken from a
// payload resource.
#define KIV_CAP_STRING_OFFSET 2000

#define KIV_HELP_TEXT_TYPE 257
#define KIV_HELP_TEXT_RESOURCE 1
#define KIV_HELP_TEXT_HEADER_SIZE 8

#define KIV_HELP_STYLE_TYPE 259
#define KIV_HELP_STYLE_RESOURCE 1
#define KIV_HELP_STYLE_RUN_SIZE 8
#define KIV_HELP_STYLE_BOLD 1
#define KIV_HELP_STYLE_ITALIC 2
#define KIV_HELP_STYLE_JUMP 4

#define KIV_CRC_TYPE 258
#define KIV_CRC_RESOURCE 1
#define KIV_CRC_COUNT_SIZE 2
#define KIV_CRC_RECORD_SIZE 8

#define KIV_INSTALLED_TYPE 260
#define KIV_INSTALLED_RESOURCE 1
#define KIV_INSTALLED_RECORD_SIZE 9

#define KIV_FONTS_BITMAP 500
#define KIV_ICON 3000

#define IDS_SCRIPT_FILE_NAME 8000   /* "INSTALL.INI" */
#define IDS_RESOURCE_FILE_DATE 8001 /* "12348": 28 January 2004 */
#define IDS_RESOURCE_FILE_TIME 8002 /* "6208": 03:02:00 */
#define IDS_SELECT_DIR 8003
#define IDS_COPYING 8004
#define IDS_FONTS 8005
#define IDS_PERCENT 8007
#define IDS_PROGMAN_ITEMS 8008
#define IDS_TASKBAR_SHORTCUTS 8009
#define IDS_INSTALLING_IN 8010
#define IDS_DISK_DIR 8011
// The release of KivInstall that a stub (kivinstall.exe, kivuninst.exe)
// belongs to and which stub it is, "KivInstall 0.1.0 installer" or
// "KivInstall 0.1.0 uninstaller", from the project's version at its build.
// kivpack reads it from the stub before packing and packs only stubs of its
// own release; packing keeps it, so a packed installer still says which
// release its stub came from. No program loads it. A version resource
// (VERSIONINFO) written into a packed installer describes the vendor's
// product, not the stub, and is never read for this.
#define IDS_STUB_VERSION 8015

#define KIV_SZDD_HEADER_SIZE 14
#define KIV_SZDD_MODE_A 0x41
#define KIV_SZDD_WINDOW 4096
#define KIV_SZDD_START_POSITION 4080
#define KIV_SZDD_MIN_MATCH 3
#define KIV_SZDD_MAX_MATCH 18

/* Dialog ids. */
#define IDD_BAD_DRIVE 1000
#define IDD_BAD_LINE 1100
#define IDD_NO_DIRECTORY 1200
#define IDD_COPY_ERROR 1300
#define IDD_CANNOT_CREATE 1400
#define IDD_DISK_FULL 1500
#define IDD_FONTS_ONLY 1550
#define IDD_MISSING_KEY 1600
#define IDD_INSERT_DISK 1700
#define IDD_FILE_NOT_FOUND 1800
#define IDD_CANNOT_OPEN_SCRIPT 1900
#define IDD_OUT_OF_MEMORY 2000
#define IDD_PROGRESS 2100
#define IDD_CANNOT_START 2200
#define IDD_DONE 2201
#define IDD_DONE_OK_CANCEL 2202
#define IDD_DONE_YES_NO 2203
#define IDD_DIRECTORY_MESSAGE 2300
#define IDD_BEING_INSTALLED_IN 2301
#define IDD_USED_FOR_DISKS 2302
#define IDD_NEW_INSTALL 2400
#define IDD_EARLIER_COPY 2401
#define IDD_UPGRADE 2402
#define IDD_TOO_MANY_DISKS 2500
#define IDD_NO_COPY_TO_UPGRADE 2700
#define IDD_WINDOWS_TOO_OLD 2800
#define IDD_HELP_TOPIC 2900

/* Control ids. */
#define CTRL_MESSAGE 1001
#define CTRL_HELP 1002
#define CTRL_VIEW 1003
#define CTRL_SECTION 1101
#define CTRL_LINE 1102
#define CTRL_FONTS_PICTURE 1551
#define CTRL_DIRECTORY 1701
#define CTRL_GAUGE 2101
#define CTRL_BROWSE 2403
#define CTRL_HELP_TEXT 2901
#define CTRL_HELP_BACK 2902
