// Identifiers of the executable's resources: dialog templates, their controls,
// the application icon and the description script. Plain #defines only, so
// that both the resource compiler and C++ can include this file.
#ifndef TVN_RESOURCES_RESOURCE_H
#define TVN_RESOURCES_RESOURCE_H

// Icon group and description script.
#define IDI_APP 150
#define IDR_SCRIPT 750

// Dialog templates.
#define IDD_LOGON 200
#define IDD_COMMAND 300
#define IDD_SPLASH 400
#define IDD_HELP 500

// Log-on dialog (template 200).
#define IDC_LOGON_ICON 1200
#define IDC_LOGON_INFO 1201
#define IDC_LOGON_DOMAIN_ICON 1202
#define IDC_LOGON_DOMAIN_LABEL 1203
#define IDC_LOGON_DOMAIN 1204
#define IDC_LOGON_USER_ICON 1205
#define IDC_LOGON_USER_LABEL 1206
#define IDC_LOGON_USER 1207
#define IDC_LOGON_PASSWORD_ICON 1208
#define IDC_LOGON_PASSWORD_LABEL 1209
#define IDC_LOGON_PASSWORD 1210
#define IDC_LOGON_IGNORE_UAC 1211
#define IDC_LOGON_LOAD_PROFILE 1212
#define IDC_LOGON_CURRENT_CREDENTIALS 1213
#define IDC_LOGON_SEPARATOR 1214
#define IDC_LOGON_LOGON 1215
#define IDC_LOGON_CLOSE 1216
#define IDC_LOGON_HELP 1217

// Command dialog (template 300).
#define IDC_COMMAND_ICON 1300
#define IDC_COMMAND_INFO 1301
#define IDC_COMMAND_LIST 1302
#define IDC_COMMAND_LINE 1303
#define IDC_COMMAND_BROWSE 1304
#define IDC_COMMAND_SUPPORT_FILTERS 1305
#define IDC_COMMAND_START_HIDDEN 1306
#define IDC_COMMAND_SEPARATOR 1307
#define IDC_COMMAND_EXECUTE 1308
#define IDC_COMMAND_CLOSE 1309
#define IDC_COMMAND_REFRESH 1310
#define IDC_COMMAND_AUTHORIZATION 1311
#define IDC_COMMAND_HELP 1312

// Splash window (template 400).
#define IDC_SPLASH_ICON 1400
#define IDC_SPLASH_TEXT 1401

// Help dialog (template 500).
#define IDC_HELP_ICON 1500
#define IDC_HELP_ABOUT 1501
#define IDC_HELP_UPPER_SEPARATOR 1502
#define IDC_HELP_DISCLAIMER 1503
#define IDC_HELP_LOWER_SEPARATOR 1504
#define IDC_HELP_CLOSE 1505
#define IDC_HELP_DIAGNOSTICS 1506

#endif  // TVN_RESOURCES_RESOURCE_H
