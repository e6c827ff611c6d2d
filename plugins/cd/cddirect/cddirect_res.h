/* Resource ids of cddirect, shared by cddirect.rc, the code and the tests. */
#ifndef CDDIRECT_RES_H
#define CDDIRECT_RES_H

#define IDD_SETUP 101
#define IDC_DRIVE_LETTER 1000

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif
