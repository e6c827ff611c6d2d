/* Resource ids of padjoy's dialog, shared by padjoy.rc, the dialog
 * procedure and the tests. */
#ifndef PADJOY_RESOURCE_H
#define PADJOY_RESOURCE_H

#define IDD_PADJOY 101
#define IDC_CONTROLLER 1000
#define IDC_BUTTONS 1001
#define IDC_SET 1002
#define IDC_CLEAR 1003
#define IDC_DEFAULTS 1004
#define IDC_PROMPT 1005
#define IDC_LIVE 1006
#define IDC_PADTYPE 1007

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif
