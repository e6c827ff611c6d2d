/* Resource identifiers of gpuhost's selection dialog, shared by the .rc
   script, the dialog procedure and the tests. */
#ifndef GPUHOST_RES_H
#define GPUHOST_RES_H

#define IDD_GPUHOST_CONFIG 101

#define IDC_HOSTED_CONFIGURE 1000
#define IDC_HOSTED_TEST 1001
#define IDC_HOSTED_ABOUT 1002
#define IDC_HOSTED_LIST 1003

#endif
