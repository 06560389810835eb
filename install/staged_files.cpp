// This release's file list. Staged names run tl001.tmp to tl041.tmp, each
// used once across all groups, so they can lie side by side beside the
// updater and in a destination root; TL032.TMP is written in capitals.
#include "common/text.h"
#include "install/staged_files.h"

// A row's two names as text. The rows themselves hold each name in a path
// buffer, zero-padded; filled from these when the program starts, they
// cost the program's file no more than the names themselves.
struct RowNames {
    const char* targetName;
    const char* stagedName;
};

static const RowNames AppNames[] = {
    { "TLCORE.DLL", "tl001.tmp" },
    { "TOLVANE.EXE", "tl002.tmp" },
    { "TOLVANE.INI", "tl003.tmp" },
    { "TVASPI.DLL", "tl004.tmp" },
    { "TVAUDIO.DLL", "tl005.tmp" },
    { "TVBACKUP.EXE", "tl006.tmp" },
    { "TVBURN.DLL", "tl007.tmp" },
    { "TVCDDA.DLL", "tl008.tmp" },
    { "TVCDDB.DLL", "tl009.tmp" },
    { "TVCDTEXT.DLL", "tl010.tmp" },
    { "TVCUE.DLL", "tl011.tmp" },
    { "TVDAO.DLL", "tl012.tmp" },
    { "TVDATA.DLL", "tl013.tmp" },
    { "TVDDCD.DLL", "tl014.tmp" },
    { "TVDEVICE.DLL", "tl015.tmp" },
    { "TVDEVICE.INI", "tl016.tmp" },
    { "TVDVD.DLL", "tl017.tmp" },
    { "TVENCODE.DLL", "tl018.tmp" },
    { "TVIMAGE.DLL", "tl019.tmp" },
    { "TVISO.DLL", "tl020.tmp" },
    { "TVISRC.DLL", "tl021.tmp" },
    { "TVLABEL.DLL", "tl022.tmp" },
    { "TVMEDIA.DLL", "tl023.tmp" },
    { "TVMP3.DLL", "tl024.tmp" },
    { "TVPACKET.DLL", "tl025.tmp" },
    { "TVRES.DLL", "tl026.tmp" },
    { "TVSCSI.DLL", "tl027.tmp" },
    { "TVSKIN.DLL", "tl028.tmp" },
    { "TVUDF.DLL", "tl029.tmp" },
    { "TVVIDEO.DLL", "tl030.tmp" },
    { "TVWAVE.DLL", "tl031.tmp" },
    { "TVHELP.DLL", "tl039.tmp" },
    { "TOLVANE.EXE.manifest", "tl040.tmp" },
    { "TVBACKUP.EXE.manifest", "tl041.tmp" },
};

static const RowNames Win9xHelperNames[] = {
    { "TVWNASPI.DLL", "tl033.tmp" },
    { "TVCDR9X.DLL", "tl034.tmp" },
    { "TVCDVSD.VXD", "tl035.tmp" },
};

static const RowNames Win9xIoDriverNames[] = {
    { "IOSUBSYS\\TVCDIO.VXD", "TL032.TMP" },
};

static const RowNames Nt4DriverNames[] = {
    { "Drivers\\TVCDFLT.SYS", "tl036.tmp" },
    { "Drivers\\TVPKT.SYS", "tl037.tmp" },
};

// Same target as the second NT 4.0 row, with a driver build of its own.
static const RowNames Nt5DriverNames[] = {
    { "Drivers\\TVPKT.SYS", "tl038.tmp" },
};

static StagedFile AppRows[sizeof AppNames / sizeof AppNames[0]];
static StagedFile Win9xHelperRows[sizeof Win9xHelperNames / sizeof Win9xHelperNames[0]];
static StagedFile Win9xIoDriverRows[sizeof Win9xIoDriverNames / sizeof Win9xIoDriverNames[0]];
static StagedFile Nt4DriverRows[sizeof Nt4DriverNames / sizeof Nt4DriverNames[0]];
static StagedFile Nt5DriverRows[sizeof Nt5DriverNames / sizeof Nt5DriverNames[0]];

#define ROWS_OF(table) table, sizeof(table) / sizeof(table[0])

const StagedGroup AppGroup = { ROWS_OF(AppRows), InstallFolder, true };
const StagedGroup Win9xHelperGroup = { ROWS_OF(Win9xHelperRows), InstallFolder, false };
const StagedGroup Win9xIoDriverGroup = { ROWS_OF(Win9xIoDriverRows), SystemFolder, false };
const StagedGroup Nt4DriverGroup = { ROWS_OF(Nt4DriverRows), SystemFolder, false };
const StagedGroup Nt5DriverGroup = { ROWS_OF(Nt5DriverRows), SystemFolder, false };

const StagedGroup* const AllStagedGroups[STAGED_GROUP_COUNT] = {
    &AppGroup, &Win9xHelperGroup, &Win9xIoDriverGroup, &Nt4DriverGroup, &Nt5DriverGroup,
};

// Each group's rows and names, in the order of AllStagedGroups.
static StagedFile* const GroupRows[STAGED_GROUP_COUNT] = {
    AppRows, Win9xHelperRows, Win9xIoDriverRows, Nt4DriverRows, Nt5DriverRows
};
static const RowNames* const GroupNames[STAGED_GROUP_COUNT] = {
    AppNames, Win9xHelperNames, Win9xIoDriverNames, Nt4DriverNames, Nt5DriverNames
};

void FillStagedTable()
{
    for (unsigned int g = 0; g < STAGED_GROUP_COUNT; ++g) {
        StagedFile* rows = GroupRows[g];
        for (unsigned int i = 0; i < AllStagedGroups[g]->rowCount; ++i) {
            CopyText(rows[i].targetName, PATH_BUFFER_SIZE, GroupNames[g][i].targetName);
            CopyText(rows[i].stagedName, PATH_BUFFER_SIZE, GroupNames[g][i].stagedName);
        }
    }
}

// Programs with a C runtime (the tests, the release tool) have the table
// filled before they start; the updater, which has none, fills it first
// thing.
static struct StagedTableFiller {
    StagedTableFiller() { FillStagedTable(); }
} Filler;

InstallPlan GroupsForPlatform(const OSVERSIONINFOA& version)
{
    InstallPlan plan;
    plan.groups[0] = &AppGroup;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        plan.groups[1] = &Win9xHelperGroup;
        plan.groups[2] = &Win9xIoDriverGroup;
        plan.groupCount = 3;
    } else {
        plan.groups[1] = version.dwMajorVersion < 5 ? &Nt4DriverGroup : &Nt5DriverGroup;
        plan.groups[2] = 0;
        plan.groupCount = 2;
    }
    return plan;
}

bool MakeSetAsideName(char* out, unsigned int outSize, const char* stagedName, unsigned int index)
{
    // Staged names are plain ASCII: the last '.' starts the extension.
    unsigned int stem = TextLength(stagedName);
    for (unsigned int i = stem; i > 0; --i)
        if (stagedName[i - 1] == '.') {
            stem = i - 1;
            break;
        }
    if (stem + 5 > outSize) {
        if (outSize > 0)
            out[0] = 0;
        return false;
    }
    for (unsigned int i = 0; i < stem; ++i)
        out[i] = stagedName[i];
    out[stem] = 0;
    char extension[] = ".old";
    if (index > 0) {
        if (index >= SET_ASIDE_NAME_COUNT) {
            out[0] = 0;
            return false;
        }
        extension[3] = static_cast<char>('0' + index);
    }
    return AppendText(out, outSize, extension);
}

bool IsMainExecutable(const StagedFile& row)
{
    return &row == FindAppRow(MAIN_EXECUTABLE_NAME);
}

const StagedFile* FindAppRow(const char* targetName)
{
    for (unsigned int i = 0; i < AppGroup.rowCount; ++i)
        if (lstrcmpiA(AppGroup.rows[i].targetName, targetName) == 0)
            return &AppGroup.rows[i];
    return 0;
}
