/* Resource ids of cdimage's setup dialog, shared by cdimage.rc, the dialog
 * procedure and the tests. */
#ifndef CDIMAGE_RESOURCE_H
#define CDIMAGE_RESOURCE_H

#define IDD_CDIMAGE 101
#define IDC_IMAGE_PATH 1000
#define IDC_BROWSE 1001
#define IDC_RECENT 1002
#define IDC_SUMMARY 1003
/* Verify, for an ECM image, and its progress dialog. */
#define IDC_VERIFY 1010
#define IDD_CDIMAGE_VERIFY 102
#define IDC_VERIFY_PROGRESS 1011
#define IDC_DISC 1004

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif
