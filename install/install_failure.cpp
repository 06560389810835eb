// Fail, FailNaming and FailNamingHeld: filling in the record of what stopped
// a run.
#include "common/module_holder.h"
#include "common/path_helpers.h"
#include "common/text.h"
#include "install/install_failure.h"
#include "res/resource.h"

bool Fail(InstallFailure* failure, unsigned int message, const char* subject)
{
    failure->message = message;
    failure->detail[0] = 0;
    if (subject == 0 || !CopyText(failure->subject, sizeof failure->subject, subject))
        failure->subject[0] = 0;
    return false;
}

bool FailNaming(InstallFailure* failure, unsigned int message, const char* root, const char* name)
{
    Fail(failure, message);
    // A path buffer holds every root with every name of the table; one that
    // did not fit would leave the subject empty.
    MakePath(failure->subject, sizeof failure->subject, 0, root, name, 0);
    return false;
}

bool FailNamingHeld(InstallFailure* failure, const char* root, const char* name, const char* path)
{
    FailNaming(failure, IDS_FILE_IN_USE, root, name);
    if (FindLoadingProgram(path, false, failure->detail, sizeof failure->detail) == ModuleLoaded && failure->detail[0] != 0)
        failure->message = IDS_FILE_IN_USE_BY;
    return false;
}
