/* Resource ids of the uninstaller that are its own; the rest (the message
   control, the copy error dialog 1300, the icon, strings 8000 to 8002) are the
   installer's, from kivformat.h. */
#ifndef KIVUNINST_H
#define KIVUNINST_H

#define IDD_UNINSTALL_SCRIPT_FAULT 2900 /* the carried script cannot be read */
#define IDD_CONFIRM_REMOVAL 2901        /* Yes / No */
#define IDD_REMOVED 2902                /* the closing dialog */
#define IDD_NOT_AN_INSTALLATION 2903    /* started from a root or a system directory */

/* Headings of the closing dialog's lists of what was kept, for one and for
   more; strings 8012 to 8014 are in the block of 8000, the rest in the next. */
#define IDS_KEPT_SHARED 8012
#define IDS_KEPT_FOLDERS 8013
#define IDS_REMOVED 8014                /* "%s was removed." */
#define IDS_KEPT_SHARED_MANY 8016
#define IDS_KEPT_FOLDER 8017
#define IDS_KEPT_CHANGED 8018
#define IDS_KEPT_LINK 8019
#define IDS_KEPT_LINKS 8020
#define IDS_KEPT_GROUP 8021
#define IDS_KEPT_MORE 8022              /* "and %u more" */

#endif
