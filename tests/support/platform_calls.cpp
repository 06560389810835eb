// The table of what each platform accepts of the updater's system calls, and
// the check of a relay trace's calls against it. Each row names its sources:
// the platforms' documentation (the Platform SDK's reference pages, with
// their "Windows 95/98/Me" and "Windows NT 4.0" notes and Requirements) and
// Wine's conformance tests, whose broken() and win_skip cases record how the
// older systems answered.
#include "support/platform_calls.h"
#include <windows.h>
#include <tlhelp32.h>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>

namespace {

enum PlatformBit : unsigned {
    ON_WIN95 = 1u << PLATFORM_WIN95,
    ON_WIN98 = 1u << PLATFORM_WIN98,
    ON_NT40 = 1u << PLATFORM_NT40,
    ON_WIN2K = 1u << PLATFORM_WIN2K,
    ON_WINXP = 1u << PLATFORM_WINXP,
    ON_95_FAMILY = ON_WIN95 | ON_WIN98,
    ON_NT_FAMILY = ON_NT40 | ON_WIN2K | ON_WINXP,
    ON_ALL = ON_95_FAMILY | ON_NT_FAMILY,
};

enum RuleKind {
    NO_RULE,
    BITS,         // a flags argument: the bits each platform knows
    ONE_OF,       // a value from a list ("a b c-d", hexadecimal), on `platforms`
    MAX_VALUE,    // a number at most `limit[platform]`
    PATH,         // a path: shown whole, at most `limit[platform]` bytes with its zero
    FOLDER_FILE,  // a folder (`argument`) and a file name in it (`second`),
                  // joined: at most `limit[platform]` bytes with the zero; so
                  // too a name of `minimum` bytes that the callee makes there
    NOT_NULL,     // a pointer that must not be 0 on `platforms`
};

// Forms of a path that a platform refuses.
enum PathForm : unsigned {
    ANY_FORM = 0,
    NO_TRAILING_SEPARATOR = 1,  // not ending in "\"
    DRIVE_ROOT = 2,             // "X:\" or a UNC share's root with its "\"
    NO_SEPARATOR_BUT_ROOT = 4,  // not ending in "\", but for a drive's root "X:\"
};

struct Limits {
    unsigned long on[PLATFORM_COUNT];
};

constexpr Limits Everywhere(unsigned long value)
{
    return { { value, value, value, value, value } };
}

constexpr Limits Families(unsigned long win95Family, unsigned long ntFamily)
{
    return { { win95Family, win95Family, ntFamily, ntFamily, ntFamily } };
}

constexpr Limits Each(unsigned long win95, unsigned long win98, unsigned long nt40, unsigned long win2k,
                      unsigned long winxp)
{
    return { { win95, win98, nt40, win2k, winxp } };
}

struct Rule {
    RuleKind kind;
    int argument;
    Limits limit;          // BITS: the bits; MAX_VALUE, PATH, FOLDER_FILE: the limit
    const char* values;    // ONE_OF
    unsigned platforms;    // ONE_OF, NOT_NULL: where it holds
    unsigned forms;        // PATH: forms refused
    int second;            // FOLDER_FILE: the name's argument
    unsigned minimum;      // FOLDER_FILE: the least the name counts
    const char* what;      // the argument, as the reader knows it
};

constexpr Rule Bits(int argument, Limits bits, const char* what)
{
    return { BITS, argument, bits, nullptr, ON_ALL, ANY_FORM, 0, 0, what };
}

constexpr Rule OneOf(int argument, unsigned platforms, const char* values, const char* what)
{
    return { ONE_OF, argument, Everywhere(0), values, platforms, ANY_FORM, 0, 0, what };
}

constexpr Rule MaxValue(int argument, Limits limit, const char* what)
{
    return { MAX_VALUE, argument, limit, nullptr, ON_ALL, ANY_FORM, 0, 0, what };
}

constexpr Rule Path(int argument, Limits limit = Everywhere(MAX_PATH), unsigned forms = ANY_FORM,
                    const char* what = "path")
{
    return { PATH, argument, limit, nullptr, ON_ALL, forms, 0, 0, what };
}

constexpr Rule FolderFile(int folder, int name, unsigned limit, unsigned minimum, const char* what)
{
    return { FOLDER_FILE, folder, Everywhere(limit), nullptr, ON_ALL, ANY_FORM, name, minimum, what };
}

constexpr Rule NotNull(int argument, unsigned platforms, const char* what)
{
    return { NOT_NULL, argument, Everywhere(0), nullptr, platforms, ANY_FORM, 0, 0, what };
}

const int MAX_RULES = 5;

struct Row {
    const char* function;
    unsigned platforms;  // where it exists and does what it is called for
    Rule rules[MAX_RULES];
    const char* differs; // what a platform takes differently, for the reader
    const char* source;
};

// Bits of the flags the rows share.
const unsigned long FILE_ATTRIBUTES_95 = 0x27 | FILE_ATTRIBUTE_NORMAL;
const unsigned long FILE_ATTRIBUTES_NT = FILE_ATTRIBUTES_95 | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE;
const unsigned long FILE_ATTRIBUTES_2K = FILE_ATTRIBUTES_NT | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
const unsigned long CREATE_FLAGS_95 = FILE_FLAG_WRITE_THROUGH | FILE_FLAG_RANDOM_ACCESS | FILE_FLAG_SEQUENTIAL_SCAN |
                                      FILE_FLAG_NO_BUFFERING;
const unsigned long CREATE_FLAGS_NT = CREATE_FLAGS_95 | FILE_FLAG_OVERLAPPED | FILE_FLAG_DELETE_ON_CLOSE |
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_POSIX_SEMANTICS;
const unsigned long ACCESS_95 = GENERIC_READ | GENERIC_WRITE;
const unsigned long ACCESS_NT = 0xF0000000 | MAXIMUM_ALLOWED | ACCESS_SYSTEM_SECURITY | STANDARD_RIGHTS_ALL | 0x1FF;
// Registry access: the standard rights and the key's own (0x3F); the
// WOW64 view bits came with the 64-bit systems.
const unsigned long KEY_ACCESS = STANDARD_RIGHTS_ALL | 0x3F | MAXIMUM_ALLOWED | 0xF0000000;
// The wake and queue bits of Windows 95 and NT 4.0 (QS_KEY to QS_HOTKEY);
// 98 and 2000 add QS_ALLPOSTMESSAGE, XP QS_RAWINPUT.
const unsigned long QUEUE_BITS_95 = 0xFF;
const unsigned long QUEUE_BITS_98 = 0x1FF;
const unsigned long QUEUE_BITS_XP = 0x4FF | 0x100;
// MessageBoxA: the button set, icon, default button and modality fields and
// the flags that every platform knows (MB_HELP to MB_RTLREADING); the
// service-notification bit moved between NT 4.0 and 2000 and is left out.
const unsigned long MESSAGE_BOX_BITS = 0x7 | 0x70 | 0x300 | 0x3000 | 0x4000 | 0x8000 | MB_SETFOREGROUND |
                                       MB_DEFAULT_DESKTOP_ONLY | MB_TOPMOST | MB_RIGHT | MB_RTLREADING;

// Window and control messages, by the comctl32 that each platform shipped:
// 4.00 with Windows 95 and NT 4.0; 4.72 and later with 98 and 2000.
const char PROGRESS_400[] = "401-405";     // PBM_SETRANGE to PBM_STEPIT
const char PROGRESS_470[] = "406-408";     // PBM_SETRANGE32, PBM_GETRANGE, PBM_GETPOS

const Row TABLE[] = {
    // ADVAPI32
    { "AdjustTokenPrivileges", ON_NT_FAMILY, {},
      "the 95 family has no tokens; the updater calls it on NT only (how 95 answers: unsourced)",
      "Platform SDK: AdjustTokenPrivileges, Requirements (Windows NT 3.1 and later); Wine advapi32/tests/security.c" },
    { "LookupPrivilegeValueA", ON_NT_FAMILY, { Path(1, Everywhere(MAX_PATH), ANY_FORM, "privilege name") },
      "called on NT only (how 95 answers: unsourced)",
      "Platform SDK: LookupPrivilegeValue, Requirements (Windows NT 3.1 and later)" },
    { "OpenProcessToken", ON_NT_FAMILY, { Bits(1, Everywhere(TOKEN_ALL_ACCESS | MAXIMUM_ALLOWED), "desired access") },
      "the 95 family has no tokens; called on NT only (how 95 answers: unsourced)",
      "Platform SDK: OpenProcessToken, Requirements; Wine advapi32/tests/security.c (win_skip where tokens are missing)" },
    { "RegCloseKey", ON_ALL, {}, nullptr, "Platform SDK: RegCloseKey" },
    { "RegCreateKeyExA", ON_ALL,
      { Path(1, Everywhere(256), ANY_FORM, "subkey"), MaxValue(2, Everywhere(0), "reserved"),
        Bits(4, Families(REG_OPTION_VOLATILE, REG_OPTION_VOLATILE | REG_OPTION_BACKUP_RESTORE), "options"),
        Bits(5, Everywhere(KEY_ACCESS), "desired access") },
      "REG_OPTION_VOLATILE is ignored on the 95 family",
      "Platform SDK: RegCreateKeyEx (Windows 95/98/Me notes), Registry Element Size Limits (key name 255)" },
    { "RegOpenKeyExA", ON_ALL,
      { Path(1, Everywhere(256), ANY_FORM, "subkey"), MaxValue(2, Everywhere(0), "options (reserved)"),
        Bits(3, Everywhere(KEY_ACCESS), "desired access") },
      "KEY_WOW64_32KEY and KEY_WOW64_64KEY: XP x64 and later only",
      "Platform SDK: RegOpenKeyEx; Registry Key Security and Access Rights (KEY_WOW64_*: Windows 2000 not supported)" },
    { "RegQueryValueExA", ON_ALL, { Path(1, Everywhere(256), ANY_FORM, "value name"), MaxValue(2, Everywhere(0), "reserved") },
      "the 95 family counts a REG_SZ value's size as its length and zero, whatever was stored",
      "Platform SDK: RegQueryValueEx, Registry Element Size Limits (value name 255 on the 95 family); "
      "Wine advapi32/tests/registry.c (\"cbData == str_byte_len /* Win9x */\")" },
    { "RegSetValueExA", ON_ALL,
      { Path(1, Everywhere(256), ANY_FORM, "value name"), MaxValue(2, Everywhere(0), "reserved"),
        OneOf(3, ON_ALL, "1-4 7", "type"), MaxValue(5, Families(16300, 0xFFFFFFFF), "data size") },
      "values of the 95 family hold at most 16,300 bytes; REG_SZ \"\" of size 0 reads back as 1 byte there",
      "Platform SDK: RegSetValueEx; Registry Element Size Limits (Windows 95/98/Me: 16,300 bytes a value)" },
    // COMCTL32: 4.00 came with Windows 95 and NT 4.0
    { "ImageList_AddMasked", ON_ALL, {}, nullptr, "Platform SDK: ImageList_AddMasked (comctl32 4.00)" },
    { "ImageList_Create", ON_ALL,
      { Bits(2, Everywhere(0x8FF), "flags (ILC_*)") },
      "ILC_MIRROR and ILC_PERITEMMIRROR: comctl32 6.0, which XP gives only a program with a manifest (the updater has none)",
      "Platform SDK: ImageList_Create (ILC_MIRROR, ILC_PERITEMMIRROR: version 6.00)" },
    { "ImageList_Destroy", ON_ALL, {}, nullptr, "Platform SDK: ImageList_Destroy (comctl32 4.00)" },
    { "ImageList_Draw", ON_ALL,
      { Bits(5, Each(0xF37, 0xF77, 0xF37, 0xF77, 0xF77), "style (ILD_*)") },
      "ILD_ROP: comctl32 4.70; ILD_PRESERVEALPHA: 6.0, which the updater (without a manifest) never gets",
      "Platform SDK: ImageList_Draw, ImageList_DrawEx's fStyle (version notes)" },
    { "InitCommonControls", ON_ALL, {}, nullptr, "Platform SDK: InitCommonControls (comctl32 4.00)" },
    // GDI32
    { "DeleteObject", ON_ALL, {}, nullptr, "Platform SDK: DeleteObject" },
    { "GetStockObject", ON_ALL, { OneOf(0, ON_ALL, "0-8 a-11", "object"), OneOf(0, ON_WIN2K | ON_WINXP, "12-13", "object") },
      "DC_BRUSH and DC_PEN: Windows 2000 and later",
      "Platform SDK: GetStockObject (DEFAULT_GUI_FONT: Windows 95 and NT 4.0; DC_BRUSH, DC_PEN: Windows 2000)" },
    { "SetBkColor", ON_ALL, {}, nullptr, "Platform SDK: SetBkColor" },
    { "SetTextColor", ON_ALL, {}, nullptr, "Platform SDK: SetTextColor" },
    // KERNEL32
    { "CloseHandle", ON_ALL, {}, nullptr, "Platform SDK: CloseHandle" },
    { "CopyFileA", ON_ALL, { Path(0), Path(1) }, nullptr, "Platform SDK: CopyFile (lpExistingFileName, lpNewFileName: MAX_PATH)" },
    { "CreateDirectoryA", ON_ALL, { Path(0, Everywhere(248)) },
      nullptr,
      "Platform SDK: CreateDirectory (\"For the ANSI version of this function, there is a default string size "
      "limit for paths of 248 characters\")" },
    { "CreateFileA", ON_ALL,
      { Path(0), Bits(1, Families(ACCESS_95, ACCESS_NT), "desired access"),
        Bits(2, Families(FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE), "share mode"),
        OneOf(4, ON_ALL, "1-5", "creation disposition"),
        Bits(5, Each(FILE_ATTRIBUTES_95 | CREATE_FLAGS_95, FILE_ATTRIBUTES_95 | CREATE_FLAGS_95,
                     FILE_ATTRIBUTES_NT | CREATE_FLAGS_NT, FILE_ATTRIBUTES_2K | CREATE_FLAGS_NT,
                     FILE_ATTRIBUTES_2K | CREATE_FLAGS_NT), "flags and attributes") },
      "the 95 family knows neither FILE_SHARE_DELETE nor DELETE access",
      "Platform SDK: CreateFile (ANSI names limited to MAX_PATH; FILE_SHARE_DELETE and FILE_FLAG_DELETE_ON_CLOSE: NT); "
      "Wine kernel32/tests/file.c, test_CopyFileA: CreateFileA(dest, DELETE, ...|FILE_SHARE_DELETE) "
      "\"|| broken(GetLastError() == ERROR_INVALID_PARAMETER) /* Win 9x */\"" },
    { "CompareStringA", ON_ALL, { Bits(1, Everywhere(NORM_IGNORECASE), "comparison flags") }, nullptr,
      "Platform SDK: CompareString (the NORM_ flags; CSTR_EQUAL)" },
    { "CreateMutexA", ON_ALL, { Path(2, Everywhere(MAX_PATH), ANY_FORM, "mutex name") },
      "looked up at run time; the \"Global\\\" prefix only on 2000 and XP, where Terminal Services (and XP's "
      "fast user switching) keep a namespace for each session: NT 4.0 and the 95 family would take it as part "
      "of the name",
      "Platform SDK: CreateMutex (lpName limited to MAX_PATH; ERROR_ALREADY_EXISTS when the named mutex exists, "
      "ERROR_ACCESS_DENIED when it exists under another user's security; Requirements: Windows 95 and NT 3.1; "
      "the prefixes: \"Terminal Services\" remarks, \"Windows 2000: If Terminal Services is not running, the "
      "Global\\\" and \"Local\\\" prefixes are ignored\")" },
    { "CreateToolhelp32Snapshot", ON_95_FAMILY | ON_WIN2K | ON_WINXP,
      { Bits(0, Everywhere(TH32CS_SNAPPROCESS | TH32CS_SNAPMODULE), "flags") },
      "missing from NT 4.0's KERNEL32: looked up at run time, and asked on the 95 family and from 2000 on only; "
      "a module snapshot names its process (0 would be the caller)",
      "Platform SDK: CreateToolhelp32Snapshot (Requirements: Windows 95 and 2000; th32ProcessID 0 means the "
      "current process); Wine kernel32/tests/toolhelp.c (win_skip where the functions are missing: \"most likely "
      "running on Windows NT\")" },
    { "CreateThread", ON_ALL, { Bits(4, Families(CREATE_SUSPENDED, CREATE_SUSPENDED), "creation flags"),
                                NotNull(5, ON_95_FAMILY, "thread id") },
      "the 95 family fails a call without a place for the thread id",
      "Platform SDK: CreateThread (lpThreadId); Wine kernel32/tests/thread.c, test_CreateThread_basic: "
      "CreateThread(..., NULL) \"else { /* 9x */ ok(GLE==ERROR_INVALID_PARAMETER\"" },
    { "DeleteFileA", ON_ALL, { Path(0) }, nullptr, "Platform SDK: DeleteFile" },
    { "ExitProcess", ON_ALL, {}, nullptr, "Platform SDK: ExitProcess" },
    { "ExpandEnvironmentStringsA", ON_ALL, {}, nullptr,
      "Platform SDK: ExpandEnvironmentStrings" },
    { "FindClose", ON_ALL, {}, nullptr, "Platform SDK: FindClose" },
    { "FindFirstFileA", ON_ALL, { Path(0, Everywhere(MAX_PATH), NO_TRAILING_SEPARATOR) }, nullptr,
      "Platform SDK: FindFirstFile (lpFileName must not end in a trailing backslash); Wine kernel32/tests/file.c, "
      "test_FindFirstFileA (\"FindFirstFile on root directory should fail\", ERROR_FILE_NOT_FOUND)" },
    { "FindNextFileA", ON_ALL, {}, nullptr, "Platform SDK: FindNextFile" },
    { "FindResourceExA", ON_ALL, {}, nullptr, "Platform SDK: FindResourceEx" },
    { "FlushFileBuffers", ON_ALL, {}, nullptr, "Platform SDK: FlushFileBuffers" },
    { "FreeLibrary", ON_ALL, {}, nullptr, "Platform SDK: FreeLibrary" },
    { "GetACP", ON_ALL, {}, nullptr, "Platform SDK: GetACP" },
    { "GetCPInfo", ON_ALL, {}, nullptr, "Platform SDK: GetCPInfo" },
    { "GetCurrentProcess", ON_ALL, {}, nullptr, "Platform SDK: GetCurrentProcess" },
    { "GetDiskFreeSpaceA", ON_ALL, { Path(0, Everywhere(MAX_PATH), DRIVE_ROOT, "root") },
      "reports at most 2 GB on the first Windows 95",
      "Knowledge Base Q231497: \"GetDiskFreeSpace on Windows 95 and Windows 98 requires a trailing backslash for "
      "both drive letters and UNC names\", at most 2 GB and 65536 clusters; Wine kernel32/tests/drive.c, "
      "test_GetDiskFreeSpaceA (\"total clusters is %d > 65535\" on win3.0 thru winME)" },
    { "GetDiskFreeSpaceExA", ON_ALL, { Path(0, Everywhere(MAX_PATH), ANY_FORM, "directory") },
      "missing from Windows 95 before OSR2: looked up at run time",
      "Platform SDK: GetDiskFreeSpaceEx (\"does not have to specify the root directory\"); Knowledge Base Q231497 "
      "(Windows 95 OSR2 and later)" },
    { "GetFileAttributesA", ON_ALL, { Path(0, Everywhere(MAX_PATH), NO_SEPARATOR_BUT_ROOT) },
      "a folder's name ending in \"\\\" is taken by the NT family and by Wine; whether the 95 family, whose path "
      "parsing comes from MS-DOS, takes it is unsourced, so the updater asks without one",
      "Platform SDK: GetFileAttributes; Wine kernel32/tests/file.c (NT answers only)" },
    { "GetFileSize", ON_ALL, {}, nullptr, "Platform SDK: GetFileSize" },
    { "GetFullPathNameA", ON_ALL, { Path(0) }, nullptr, "Platform SDK: GetFullPathName" },
    { "GetLastError", ON_ALL, {}, nullptr, "Platform SDK: GetLastError" },
    { "GetModuleFileNameA", ON_ALL, {}, nullptr,
      "Platform SDK: GetModuleFileName" },
    { "GetModuleHandleA", ON_ALL, { Path(0) }, nullptr, "Platform SDK: GetModuleHandle" },
    { "GetProcAddress", ON_ALL, {}, nullptr, "Platform SDK: GetProcAddress" },
    { "GetProcessHeap", ON_ALL, {}, nullptr, "Platform SDK: GetProcessHeap" },
    { "GetCurrentProcessId", ON_ALL, {}, nullptr, "Platform SDK: GetCurrentProcessId" },
    { "GetShortPathNameA", ON_ALL, { Path(0, Everywhere(MAX_PATH), NO_SEPARATOR_BUT_ROOT) },
      "a folder's name ending in \"\\\" is taken by the NT family and by Wine; no source says the 95 family takes "
      "it, so the updater asks without one, as it asks GetFileAttributesA",
      "Platform SDK: GetShortPathName; Wine kernel32/tests/path.c (the 95 family's answers on long and short "
      "names; none with a trailing separator)" },
    { "GetSystemDirectoryA", ON_ALL, {}, nullptr, "Platform SDK: GetSystemDirectory" },
    { "GetTickCount", ON_ALL, {}, nullptr, "Platform SDK: GetTickCount" },
    { "GetTempPathA", ON_ALL, {}, nullptr, "Platform SDK: GetTempPath" },
    { "GetVolumeInformationA", ON_ALL,
      { Path(0, Everywhere(MAX_PATH), DRIVE_ROOT, "root"), MaxValue(2, Everywhere(0), "volume name size") },
      "the 95 family and NT 4.0 take only a drive's or share's root, with its separator; 2000 also a folder where "
      "a volume is mounted (the updater passes what GetVolumePathNameA gives, else the drive's root)",
      "Platform SDK: GetVolumeInformation (lpRootPathName: \"a trailing backslash is required\"; mounted folders: "
      "Windows 2000); Wine kernel32/tests/volume.c, test_GetVolumeInformationA (a folder below the root fails "
      "with ERROR_DIR_NOT_ROOT, the root without its backslash with ERROR_INVALID_NAME)" },
    { "GetVolumePathNameA", ON_WIN2K | ON_WINXP, { Path(0), MaxValue(2, Everywhere(MAX_PATH + 1), "buffer size") },
      "missing from the 95 family and NT 4.0: looked up at run time, and only from 2000 on",
      "Platform SDK: GetVolumePathName, Requirements (Windows 2000 and later); Wine kernel32/tests/volume.c, "
      "test_GetVolumePathNameA (win_skip when the function is missing)" },
    { "GetVersionExA", ON_ALL, {}, "OSVERSIONINFOEXA only from NT 4.0 SP6 and 98; the updater passes OSVERSIONINFOA",
      "Platform SDK: GetVersionEx, OSVERSIONINFOEX Requirements" },
    { "GetWindowsDirectoryA", ON_ALL, {}, nullptr,
      "Platform SDK: GetWindowsDirectory; Knowledge Base Q140570 (WININIT.INI lies in the Windows folder)" },
    { "HeapAlloc", ON_ALL, { Bits(1, Everywhere(HEAP_NO_SERIALIZE | HEAP_GENERATE_EXCEPTIONS | HEAP_ZERO_MEMORY), "flags") },
      nullptr, "Platform SDK: HeapAlloc" },
    { "HeapFree", ON_ALL, { Bits(1, Everywhere(HEAP_NO_SERIALIZE), "flags") }, nullptr, "Platform SDK: HeapFree" },
    { "LoadLibraryA", ON_ALL, { Path(0) }, nullptr, "Platform SDK: LoadLibrary" },
    { "LoadResource", ON_ALL, {}, nullptr, "Platform SDK: LoadResource" },
    { "LockResource", ON_ALL, {}, nullptr, "Platform SDK: LockResource" },
    { "Module32First", ON_95_FAMILY | ON_WIN2K | ON_WINXP, {}, "dwSize is set to sizeof(MODULEENTRY32) first",
      "Platform SDK: Module32First (Requirements: Windows 95 and 2000; szExePath: the module's whole path)" },
    { "Module32Next", ON_95_FAMILY | ON_WIN2K | ON_WINXP, {}, nullptr,
      "Platform SDK: Module32Next (Requirements: Windows 95 and 2000)" },
    { "MoveFileA", ON_ALL, { Path(0), Path(1) }, nullptr, "Platform SDK: MoveFile" },
    { "MoveFileExA", ON_NT_FAMILY,
      { Path(0), Path(1), Bits(2, Each(0, 0, 0xF, 0x3F, 0x3F), "flags") },
      "the 95 family exports it as a stub that fails with ERROR_CALL_NOT_IMPLEMENTED; looked up at run time",
      "Knowledge Base Q129532 (MoveFileEx is not supported on Windows 95, which uses WININIT.INI), Q140570 "
      "(WININIT.INI: short names, one volume, carried out in order), Q202071 (MOVEFILE_DELAY_UNTIL_REBOOT needs an "
      "administrator on NT); Platform SDK: MoveFileEx (flags; a NULL new name with MOVEFILE_DELAY_UNTIL_REBOOT "
      "deletes at the restart, a folder only if it is empty by then; the renames are carried out in the order they "
      "were asked for)" },
    { "Process32First", ON_95_FAMILY | ON_WIN2K | ON_WINXP, {}, "dwSize is set to sizeof(PROCESSENTRY32) first",
      "Platform SDK: Process32First (Requirements: Windows 95 and 2000; szExeFile: the whole path on the 95 "
      "family, the name alone from 2000 on)" },
    { "Process32Next", ON_95_FAMILY | ON_WIN2K | ON_WINXP, {}, nullptr,
      "Platform SDK: Process32Next (Requirements: Windows 95 and 2000)" },
    { "ReadFile", ON_ALL, {}, nullptr, "Platform SDK: ReadFile" },
    { "RemoveDirectoryA", ON_ALL, { Path(0) }, nullptr, "Platform SDK: RemoveDirectory" },
    { "SetFileTime", ON_ALL, {},
      "looked up at run time: not among the functions known to be in the first Windows 95's KERNEL32; only the "
      "last-write time is given",
      "Platform SDK: SetFileTime (Requirements: Windows 95 and NT 3.1; a NULL FILETIME leaves that time; the "
      "handle needs GENERIC_WRITE)" },
    { "SetFileAttributesA", ON_ALL,
      { Path(0), Bits(1, Each(FILE_ATTRIBUTES_95, FILE_ATTRIBUTES_95, FILE_ATTRIBUTES_NT, FILE_ATTRIBUTES_2K,
                                FILE_ATTRIBUTES_2K), "attributes") },
      nullptr, "Platform SDK: SetFileAttributes (FILE_ATTRIBUTE_NOT_CONTENT_INDEXED: Windows 2000)" },
    { "Sleep", ON_ALL, {}, nullptr, "Platform SDK: Sleep" },
    { "WaitForSingleObject", ON_ALL, {}, nullptr, "Platform SDK: WaitForSingleObject" },
    { "WriteFile", ON_ALL, {}, nullptr, "Platform SDK: WriteFile" },
    { "lstrcmpiA", ON_ALL, {}, nullptr, "Platform SDK: lstrcmpi" },
    { "lstrlenA", ON_ALL, {}, nullptr, "Platform SDK: lstrlen" },
    // SHELL32 / SHFOLDER
    { "SHGetFolderPathA", ON_ALL,
      { OneOf(1, ON_ALL, "5", "folder (CSIDL_PERSONAL)"), MaxValue(2, Everywhere(0), "token"),
        OneOf(3, ON_ALL, "0-1", "flags") },
      "SHFOLDER.DLL, installed with Internet Explorer 5 on 95, 98 and NT 4.0: looked up at run time",
      "Platform SDK: SHGetFolderPath (hToken: \"Windows 2000 and earlier: Always set this parameter to NULL\"); "
      "Knowledge Base 241733 (SHFOLDER.DLL on Windows 95 and 98)" },
    // USER32
    { "BeginPaint", ON_ALL, {}, nullptr, "Platform SDK: BeginPaint" },
    { "DialogBoxParamA", ON_ALL, {}, nullptr, "Platform SDK: DialogBoxParam" },
    { "DispatchMessageA", ON_ALL, {}, nullptr, "Platform SDK: DispatchMessage" },
    { "EnableWindow", ON_ALL, {}, nullptr, "Platform SDK: EnableWindow" },
    { "EndDialog", ON_ALL, {}, nullptr, "Platform SDK: EndDialog" },
    { "EndPaint", ON_ALL, {}, nullptr, "Platform SDK: EndPaint" },
    { "ExitWindowsEx", ON_ALL, { Bits(0, Each(0xF, 0xF, 0xF, 0x1F, 0x1F), "flags"),
                                 MaxValue(1, Each(0, 0, 0, 0, 0xFFFFFFFF), "reason (reserved before XP)") },
      "EWX_FORCEIFHUNG: Windows 2000 and later; the reason is reserved before XP",
      "Platform SDK: ExitWindowsEx (EWX_FORCEIFHUNG: \"Windows NT 4.0 and Windows Me/98/95: This value is not supported\")" },
    { "GetDlgItem", ON_ALL, {}, nullptr, "Platform SDK: GetDlgItem" },
    { "GetParent", ON_ALL, {}, nullptr, "Platform SDK: GetParent" },
    { "GetWindowLongA", ON_ALL, { OneOf(1, ON_ALL, "0-ffff fffffff0 ffffffec ffffffeb fffffffc fffffffa fffffff4", "index") },
      nullptr, "Platform SDK: GetWindowLong (GWL_*, DWL_*)" },
    { "GetWindowRect", ON_ALL, {}, nullptr, "Platform SDK: GetWindowRect" },
    { "LoadBitmapA", ON_ALL, {}, nullptr, "Platform SDK: LoadBitmap" },
    { "LoadCursorA", ON_ALL, { OneOf(1, ON_ALL, "7f00-7f04 7f80-7f88 7f8a-7f8b", "cursor"), OneOf(1, ON_WIN98 | ON_WIN2K | ON_WINXP, "7f89", "cursor") },
      "IDC_HAND: Windows 98 and 2000 and later",
      "Platform SDK: LoadCursor (IDC_HAND: Windows 2000, 98)" },
    { "LoadStringA", ON_ALL, {}, nullptr, "Platform SDK: LoadString" },
    { "MessageBoxA", ON_ALL, { Bits(3, Everywhere(MESSAGE_BOX_BITS), "type") },
      "MB_SERVICE_NOTIFICATION is 0x40000 on NT 4.0 and 0x200000 from 2000; MB_CANCELTRYCONTINUE (6) is 2000's "
      "and passes the mask unchecked",
      "Platform SDK: MessageBox (MB_SERVICE_NOTIFICATION_NT3X; MB_CANCELTRYCONTINUE: Windows 2000)" },
    { "MsgWaitForMultipleObjects", ON_ALL,
      { MaxValue(0, Everywhere(MAXIMUM_WAIT_OBJECTS - 1), "count"),
        Bits(4, Each(QUEUE_BITS_95, QUEUE_BITS_98, QUEUE_BITS_95, QUEUE_BITS_98, QUEUE_BITS_XP), "wake mask") },
      "a wake mask with a bit the system does not know fails at once (ERROR_INVALID_FLAGS)",
      "Platform SDK (April 2000): MsgWaitForMultipleObjectsEx, \"QS_INPUT ... a combination of QS_MOUSE and QS_KEY\"; "
      "later: QS_RAWINPUT 0x0400 (Windows XP), QS_ALLINPUT 0x04FF; "
      "Wine user32/tests/msg.c: GetQueueStatus(QS_ALLINPUT), which takes the same bits, fails with "
      "ERROR_INVALID_FLAGS (\"QS_RAWINPUT not supported on this platform\"); whether 98 and 2000 know "
      "QS_ALLPOSTMESSAGE, and whether the 95 family refuses or ignores an unknown bit: unsourced" },
    { "PeekMessageA", ON_ALL,
      { Bits(4, Each(0x3, 0x3 | (QUEUE_BITS_98 << 16), 0x3, 0x3 | (QUEUE_BITS_98 << 16), 0x3 | (QUEUE_BITS_XP << 16)),
             "remove flags") },
      "PM_QS_*: Windows 98 and 2000 and later",
      "Platform SDK: PeekMessage (PM_QS_*: \"Windows 98/Me, Windows 2000/XP\")" },
    { "PostMessageA", ON_ALL,
      { OneOf(1, ON_ALL, "0-3ff 401-405 8000-bfff", "message"), OneOf(1, ON_WIN98 | ON_WIN2K | ON_WINXP, PROGRESS_470, "message") },
      nullptr, "Platform SDK: PostMessage; Progress Bar messages (version 4.70 for 406 to 408)" },
    { "ScreenToClient", ON_ALL, {}, nullptr, "Platform SDK: ScreenToClient" },
    { "SendDlgItemMessageA", ON_ALL,
      { OneOf(2, ON_ALL, "0-3ff 401-405 8000-bfff", "message"), OneOf(2, ON_WIN98 | ON_WIN2K | ON_WINXP, PROGRESS_470, "message") },
      "PBM_SETRANGE32, PBM_GETRANGE and PBM_GETPOS need comctl32 4.70, newer than 95's and NT 4.0's",
      "Platform SDK: Progress Bar messages (PBM_GETPOS, PBM_SETRANGE32: version 4.70)" },
    { "SendMessageA", ON_ALL,
      { OneOf(1, ON_ALL, "0-3ff 401-405 8000-bfff", "message"), OneOf(1, ON_WIN98 | ON_WIN2K | ON_WINXP, PROGRESS_470, "message") },
      nullptr, "Platform SDK: SendMessage; Progress Bar messages (version 4.70 for 406 to 408)" },
    { "SetCursor", ON_ALL, {}, nullptr, "Platform SDK: SetCursor" },
    { "SetWindowLongA", ON_ALL, { OneOf(1, ON_ALL, "0-ffff fffffff0 ffffffec ffffffeb fffffffc fffffffa fffffff4", "index") },
      nullptr, "Platform SDK: SetWindowLong (GWL_*, DWL_*)" },
    { "SetWindowTextA", ON_ALL, {}, "a multiline edit control of the 95 family holds at most 64 KB",
      "Platform SDK: SetWindowText; Edit Controls (Windows 95/98/Me limit)" },
    { "wsprintfA", ON_ALL, {}, "writes at most 1,024 bytes", "Platform SDK: wsprintf" },
    // VERSION
    { "GetFileVersionInfoA", ON_ALL, { Path(0) }, nullptr, "Platform SDK: GetFileVersionInfo" },
    { "GetFileVersionInfoSizeA", ON_ALL, { Path(0) }, nullptr, "Platform SDK: GetFileVersionInfoSize" },
    { "VerInstallFileA", ON_ALL,
      { Bits(0, Everywhere(VIFF_FORCEINSTALL | VIFF_DONTDELETEOLD), "flags"),
        FolderFile(3, 1, 128, 0, "source"), FolderFile(4, 2, 128, 11, "destination and its temporary file") },
      "opens its source and its temporary file (VERnnnn.TMP) through an OFSTRUCT, whose path holds 128 bytes",
      "Platform SDK: VerInstallFile (uFlags: \"All other bits are reserved\"), OFSTRUCT (OFS_MAXPATHNAME 128); "
      "Wine dlls/version/install.c (LZOpenFileA and OpenFile of \"%s\\\\%s\", a separator added after one that ends "
      "the folder); Wine kernel32/tests/file.c, test_OpenFile (a path of OFS_MAXPATHNAME or more is refused)" },
    { "VerQueryValueA", ON_ALL, {}, nullptr, "Platform SDK: VerQueryValue" },
};

// Wine carries out some of the exported functions in other modules, whose
// names its trace shows, and the x86_64 build calls a few under names of
// their own: the function that the shipped updater calls, by that name.
struct Alias {
    const char* traced;
    const char* called;
};

const Alias ALIASES[] = {
    { "RtlAllocateHeap", "HeapAlloc" },
    { "RtlGetLastWin32Error", "GetLastError" },
    // The x86_64 build's names for what the i686 build calls.
    { "SetWindowLongPtrA", "SetWindowLongA" },
    { "GetWindowLongPtrA", "GetWindowLongA" },
};

const char* const PLATFORM_NAMES[PLATFORM_COUNT] = { "win95", "win98", "nt40", "win2k", "winxp" };

const Row* FindRow(const std::string& function)
{
    for (const Row& row : TABLE)
        if (function == row.function)
            return &row;
    return nullptr;
}

std::string CalledName(const std::string& traced)
{
    for (const Alias& alias : ALIASES)
        if (traced == alias.traced)
            return alias.called;
    return traced;
}

std::string Hex(unsigned long value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%lx", value);
    return text;
}

// The argument's value; false when the trace showed a string there. Every
// number that a rule reads is of 32 bits; the x86_64 trace shows whole
// registers and stack slots, whose upper halves may hold anything.
bool NumberOf(const RelayArgument& argument, unsigned long& value)
{
    if (argument.isString || argument.text.empty())
        return false;
    unsigned long long whole = std::strtoull(argument.text.c_str(), nullptr, 16);
    value = static_cast<unsigned long>(whole & 0xFFFFFFFFull);
    return true;
}

// Whether the last character of `path` (code page 932: not a trail byte,
// which may be 0x5C) is '\\'.
bool EndsInSeparator(const std::string& path)
{
    bool last = false;
    for (size_t i = 0; i < path.size(); ++i) {
        last = path[i] == '\\';
        if (IsDBCSLeadByteEx(932, static_cast<BYTE>(path[i])) && i + 1 < path.size())
            ++i;
    }
    return last;
}

bool InValues(const char* values, unsigned long value)
{
    for (const char* at = values; *at != 0;) {
        char* end = nullptr;
        unsigned long low = std::strtoul(at, &end, 16), high = low;
        if (*end == '-')
            high = std::strtoul(end + 1, &end, 16);
        if (value >= low && value <= high)
            return true;
        at = end;
        while (*at == ' ')
            ++at;
    }
    return false;
}

// Why `argument` of a call of `row` is refused on `platform`; empty when it
// is accepted.
std::string Refusal(const Row& row, const Rule& rule, const std::vector<RelayArgument>& arguments, Platform platform)
{
    if (rule.argument >= static_cast<int>(arguments.size()))
        return std::string(rule.what) + ": the trace shows no argument " + std::to_string(rule.argument);
    const RelayArgument& argument = arguments[rule.argument];
    unsigned long value = 0;
    bool number = NumberOf(argument, value);
    unsigned long limit = rule.limit.on[platform];
    switch (rule.kind) {
    case BITS:
        if (!number)
            return std::string(rule.what) + " is not a number";
        if ((value & ~limit) != 0)
            return std::string(rule.what) + " " + Hex(value) + " has bits " + Hex(value & ~limit) + " that " +
                   PLATFORM_NAMES[platform] + " does not know";
        return std::string();
    case ONE_OF: {
        // Several lists may name one argument: the value passes when one
        // that holds on this platform has it.
        bool listed = false;
        for (const Rule& other : row.rules)
            if (other.kind == ONE_OF && other.argument == rule.argument && (other.platforms & (1u << platform)) &&
                number && InValues(other.values, value))
                listed = true;
        if (listed)
            return std::string();
        return std::string(rule.what) + " " + (number ? Hex(value) : argument.text) + " is not one that " +
               PLATFORM_NAMES[platform] + " knows";
    }
    case MAX_VALUE:
        if (number && value <= limit)
            return std::string();
        return std::string(rule.what) + " " + (number ? Hex(value) : argument.text) + " is over " + Hex(limit);
    case NOT_NULL:
        if (!(rule.platforms & (1u << platform)) || !number || value != 0)
            return std::string();
        return std::string(rule.what) + " is NULL, which " + PLATFORM_NAMES[platform] + " refuses";
    case PATH: {
        if (number && (value == 0 || value < 0x10000))
            return std::string();  // NULL, or a number in place of a name
        if (!argument.isString)
            return std::string(rule.what) + " is not shown as a string";
        if (argument.cut)
            return std::string(rule.what) + " was cut short in the trace: \"" + argument.text + "...\"";
        const std::string& path = argument.text;
        if (path.size() + 1 > limit)
            return std::string(rule.what) + " of " + std::to_string(path.size()) + " bytes (" +
                   std::to_string(limit - 1) + " at most): " + path;
        bool separated = EndsInSeparator(path);
        bool driveRoot = separated && path.size() == 3 && path[1] == ':';
        bool root = driveRoot || (separated && path.compare(0, 2, "\\\\") == 0);
        if (separated && ((rule.forms & NO_TRAILING_SEPARATOR) || ((rule.forms & NO_SEPARATOR_BUT_ROOT) && !driveRoot)))
            return std::string(rule.what) + " ends in a separator: " + path;
        if ((rule.forms & DRIVE_ROOT) && !root)
            return std::string(rule.what) + " is not the root of a disk: " + path;
        return std::string();
    }
    case FOLDER_FILE: {
        if (rule.second >= static_cast<int>(arguments.size()))
            return std::string(rule.what) + ": the trace shows no argument " + std::to_string(rule.second);
        const RelayArgument& name = arguments[rule.second];
        if (!argument.isString || !name.isString)
            return std::string(rule.what) + " is not shown as strings";
        if (argument.cut || name.cut)
            return std::string(rule.what) + " was cut short in the trace: \"" + argument.text + "\"";
        // The named file is opened as "<folder>\\<name>", a separator added
        // even after one that ends the folder; the temporary file gets its
        // name from GetTempFileNameA, which adds none there.
        const std::string& folder = argument.text;
        bool separated = !folder.empty() && folder.back() == '\\';
        size_t bytes = std::max(folder.size() + 1 + name.text.size() + 1,
                                folder.size() + (separated ? 0 : 1) + rule.minimum + 1);
        if (bytes > limit)
            return std::string(rule.what) + " of " + std::to_string(bytes - 1) + " bytes (" +
                   std::to_string(limit - 1) + " at most): " + argument.text + "\\" + name.text;
        return std::string();
    }
    case NO_RULE:
        break;
    }
    return std::string();
}

}  // namespace

const char* PlatformName(Platform platform)
{
    return PLATFORM_NAMES[platform];
}

std::vector<std::string> PlatformTableFunctions()
{
    std::vector<std::string> functions;
    for (const Row& row : TABLE)
        functions.push_back(row.function);
    return functions;
}

void CheckPlatformCalls(const std::vector<RelayCall>& calls, Platform platform, PlatformCallCheck& check)
{
    for (const RelayCall& call : calls) {
        std::string function = CalledName(call.function);
        ++check.calls;
        check.functions.insert(function);
        const Row* row = FindRow(function);
        std::string why;
        if (row == nullptr)
            why = "no row in the table";
        else if (!(row->platforms & (1u << platform)))
            why = std::string("not there on ") + PLATFORM_NAMES[platform];
        else
            for (const Rule& rule : row->rules)
                if (rule.kind != NO_RULE && why.empty())
                    why = Refusal(*row, rule, call.arguments, platform);
        // A function looked up at run time is called through its address;
        // the table must know it too.
        if (why.empty() && function == "GetProcAddress" && call.arguments.size() == 2 &&
            call.arguments[1].isString && FindRow(call.arguments[1].text) == nullptr)
            why = "looks up " + call.arguments[1].text + ", which has no row in the table";
        if (!why.empty())
            check.refused.push_back(function + ": " + why);
    }
}
