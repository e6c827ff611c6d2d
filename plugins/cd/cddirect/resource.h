/* Resource ids of cddirect's setup dialog, shared by cddirect.rc, the
 * dialog procedure and the tests. */
#ifndef CDDIRECT_RESOURCE_H
#define CDDIRECT_RESOURCE_H

#define IDD_SETUP 101
#define IDC_DRIVE_LETTER 1000

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif
