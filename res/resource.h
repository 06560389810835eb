// Resource identifiers of the updater, grouped by kind.
// Preprocessor definitions only: windres reads this file too.
#ifndef RES_RESOURCE_H
#define RES_RESOURCE_H

// Dialogs
#define IDD_UPDATER             102

// Icons
#define IDI_APP                 110

// Bitmaps
#define IDB_BANNER              111
#define IDB_LOGO                121

// Raw data
#define IDR_TERMS               120

// Controls of IDD_UPDATER (IDOK and IDCANCEL are the Start and Exit buttons)
#define IDC_PROGRESS            1004
#define IDC_TERMS               1008
#define IDC_LOGO                1009

// Strings: messages
#define IDS_NOT_INSTALLED       0
#define IDS_DONE                2
#define IDS_CAPTION             3
#define IDS_IO_ERROR            4
#define IDS_RESTART             5
#define IDS_DAMAGED             6
#define IDS_DATA_STAYED         7   // wsprintfA format: installation folder, data folder
#define IDS_NO_DATA_FOLDER      8   // stands for the data folder when none can be named
#define IDS_PATH_TOO_LONG       9   // wsprintfA format: the updater's folder
#define IDS_FILE_IN_USE         10  // wsprintfA format: the file
#define IDS_TOLVANE_RUNNING     11  // wsprintfA format: the main executable
#define IDS_NO_ROOM             12  // wsprintfA format: the drive, the MB it needs more
#define IDS_NEED_ADMIN          13  // wsprintfA format: the folder or file
#define IDS_READ_ERROR          14
#define IDS_UPDATER_ALONE       15
#define IDS_FOLDER_TOO_LONG     16  // wsprintfA format: the installation or system folder
#define IDS_DATA_NO_ROOM        17  // wsprintfA format: installation folder, data folder, drive, MB more
#define IDS_DATA_IN_USE         18  // wsprintfA format: installation folder, data folder, the file
#define IDS_DATA_DENIED         19  // wsprintfA format: installation folder, data folder
#define IDS_RESTART_NOTICE      20  // follows the outcome when files wait for the restart
#define IDS_ALREADY_RUNNING     21
#define IDS_FILE_IN_USE_BY      22  // wsprintfA format: the file, the program that has it loaded
#define IDS_RESTART_FIRST       23  // the restart list cannot be read: restart Windows first
#define IDS_DATA_DIFFERS        24  // wsprintfA format: installation folder, data folder, the file

// Strings: installed-copy lookup
#define IDS_VERSION_QUERY       30
#define IDS_APP_PATHS_KEY       46

// Strings: data folder
#define IDS_DATA_FOLDER         47

// Strings: the folder of our own in the system folder for staged driver copies
#define IDS_WORK_FOLDER         48

// Strings: settings key and value names
#define IDS_SOFTWARE            12501
#define IDS_SETTINGS_KEY        12502
#define IDS_PROXY               12563   // REG_SZ, default empty
#define IDS_PORT                12564   // REG_DWORD, default 0
#define IDS_ENABLE_ENCODE       12566   // REG_DWORD, reset to 0 on every run
#define IDS_SEARCH_ISRC         12569   // REG_DWORD, default 0
#define IDS_MEDIA_BAR           12570   // REG_DWORD, default 0
#define IDS_DDCD_CONVERT        12571   // REG_DWORD, default 0
#define IDS_DVD_COMPATIBLE      12573   // REG_DWORD, default 1
#define IDS_TEMP_FOLDER         12574   // REG_SZ, default the temporary folder

#endif
