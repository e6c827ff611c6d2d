/* Resource ids of gpuhost's selection dialog, shared by gpuhost.rc, the
 * dialog procedure and the tests. */
#ifndef GPUHOST_RESOURCE_H
#define GPUHOST_RESOURCE_H

#define IDD_GPUHOST_CONFIG 101

#define IDC_HOSTED_CONFIGURE 1000
#define IDC_HOSTED_TEST 1001
#define IDC_HOSTED_ABOUT 1002
#define IDC_HOSTED_LIST 1003

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif
