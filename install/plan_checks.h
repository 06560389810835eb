// Checks that an installation makes before it writes anything, so that a
// failure known in advance never stops it part-way: no target is held by a
// program that would stop its replacement, and every destination volume has
// room for the plan at the moment it needs the most.
#ifndef INSTALL_PLAN_CHECKS_H
#define INSTALL_PLAN_CHECKS_H

#include "install/staged_files.h"

// False when a target of `plan` is open in a program that denies writing
// (a sharing violation): the main executable on any platform (the program
// itself is running), or any target on the Windows 95 family, which cannot
// rename a file in use. On the NT family another target in use (a DLL that
// another program has loaded) is replaced through the rename, and passes.
// False too when a destination volume (the installation folder's and the
// system folder's, which may be one) has less free space than the plan
// needs at its fullest: while a row is replaced, its new copy lies beside
// the old target; afterwards only the new one stays, unless the old one is
// held: that one is deleted only at the restart. Sizes come from the loaded
// list of staged files and the current targets, in whole clusters. A volume
// whose free space cannot be read is not refused.
bool PlanCanRun(const InstallPlan& plan, const char* installFolder, const char* systemFolder);

#endif
