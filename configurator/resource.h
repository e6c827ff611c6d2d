/* Resource ids of the configurator: dialog templates, pictures and control
 * ids. Shared by configurator.rc, the code and the tests. */
#ifndef KOVACFG_RESOURCE_H
#define KOVACFG_RESOURCE_H

/* Dialogs */
#define IDD_ABOUT          101
#define IDD_MAIN           102
#define IDD_SPLASH         103
#define IDD_PLUGIN_ABOUT   104
#define IDD_CHOOSER        105

/* Pictures */
#define IDI_PROGRAM        120
#define IDI_CHOOSE_FILE    121
#define IDB_SPLASH         130
#define IDB_ABOUT          131

#define IDC_PICTURE        -1
#ifndef IDC_STATIC
#define IDC_STATIC         -1
#endif

/* Main dialog */
#define IDC_COMPILER       1000
#define IDC_INTERPRETER    1001
#define IDC_EMULATE_BIOS   1002
#define IDC_BIOS_LIST      1003
#define IDC_VERBOSE        1004
#define IDC_DISASM         1005
#define IDC_DEBUGGER       1006
#define IDC_GPU_LIST       1007
#define IDC_GPU_ABOUT      1008
#define IDC_GPU_CONFIGURE  1009
#define IDC_SPU_LIST       1010
#define IDC_SPU_ABOUT      1011
#define IDC_SPU_CONFIGURE  1012
#define IDC_JOY0_LIST      1013
#define IDC_JOY0_ABOUT     1014
#define IDC_JOY0_CONFIGURE 1015
#define IDC_JOY1_LIST      1016
#define IDC_JOY1_ABOUT     1017
#define IDC_JOY1_CONFIGURE 1018
#define IDC_COMMAND_LINE   1019
#define IDC_MEMCARD1       1020
#define IDC_MEMCARD2       1021
#define IDC_PORT_LIST      1024
#define IDC_USE_SERIAL     1029
#define IDC_COUNTRY        1030
#define IDC_SECTOR_CACHE   1033
#define IDC_CD_LIST        1034
#define IDC_CD_ABOUT       1036
#define IDC_CD_CONFIGURE   1037
#define IDC_EXIT           1100
#define IDC_SAVE           1101
#define IDC_PROGRAM_ABOUT  1102
#define IDC_RUN            1103
#define IDC_CHOOSE_FILE    1104

/* Splash */
#define IDC_SPLASH_STATUS  1022

/* Program about box */
#define IDC_ABOUT_TEXT     1035

/* Plugin about box */
#define IDC_PLUGIN_DESCRIPTION 1025
#define IDC_PLUGIN_NAME    1026
#define IDC_PLUGIN_AUTHOR  1027
#define IDC_PLUGIN_ICON    1028

/* File chooser */
#define IDC_CHOOSER_DRIVES 1043
#define IDC_CHOOSER_TYPES  1044
#define IDC_CHOOSER_DIRS   1045
#define IDC_CHOOSER_FILES  1046

/* Memory cards: the main dialog's button, the dialog (each side's
   controls: the right side's id is the left side's + 1), New card */
#define IDD_MEMORY_CARDS   106
#define IDD_NEW_CARD       107
#define IDC_MEMORY_CARDS   1105
#define IDC_CARD_LEFT      1200
#define IDC_CARD_RIGHT     1201
#define IDC_SAVES_LEFT     1202
#define IDC_SAVES_RIGHT    1203
#define IDC_STATUS_LEFT    1204
#define IDC_STATUS_RIGHT   1205
#define IDC_DELETE_LEFT    1206
#define IDC_DELETE_RIGHT   1207
#define IDC_IMPORT_LEFT    1208
#define IDC_IMPORT_RIGHT   1209
#define IDC_EXPORT_LEFT    1210
#define IDC_EXPORT_RIGHT   1211
#define IDC_FORMAT_LEFT    1212
#define IDC_FORMAT_RIGHT   1213
#define IDC_COPY_TO_RIGHT  1214  /* copies the left side's save */
#define IDC_COPY_TO_LEFT   1215
#define IDC_NEW_CARD       1220
#define IDC_SAME_CARD      1221
#define IDC_NEW_CARD_NAME  1222
#define IDC_OPEN_LEFT      1224
#define IDC_OPEN_RIGHT     1225
#define IDC_SAVE_AS_LEFT   1226
#define IDC_SAVE_AS_RIGHT  1227

#endif
