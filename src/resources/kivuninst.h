/* Resource ids of the uninstaller that are its own; the rest (the message
   control, the copy error dialog 1300, the icon, strings 8000 to 8002) are the
   installer's, from kivformat.h. */
#ifndef KIVUNINST_H
#define KIVUNINST_H

#define IDD_UNINSTALL_SCRIPT_FAULT 2900 /* the carried script cannot be read */
#define IDD_CONFIRM_REMOVAL 2901        /* Yes / No */
#define IDD_REMOVED 2902                /* the closing dialog */
#define IDD_NOT_AN_INSTALLATION 2903    /* started from a root or a system directory */

#define IDS_KEPT_SHARED 8012            /* "%u shared files ..."; in the block of 8000 */
#define IDS_KEPT_FOLDERS 8013           /* heading of the list of kept folders */
#define IDS_REMOVED 8014                /* "%s was removed." */

#endif
