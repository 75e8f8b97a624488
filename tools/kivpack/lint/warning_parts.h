// The parts of lint::ScriptWarnings kept in files of their own. Each adds its
// warnings for the current script to `out`, in any order.
#pragma once
#include <vector>
#include "tools/kivpack/lint/script_lint.h"
#include "tools/kivpack/payload.h"

namespace lint {

// The current script's file lines and their folders, as PlanPayload lists
// them, for warnings that need the installer's own reading of the disks.
PayloadPlan CurrentPlan();

// Disks at which the installer stops copying for a display class, and
// DiskSpace (or a display key) below the bytes the script installs.
void AddDiskSpaceWarnings(std::vector<Warning>& out, const PayloadPlan& plan, bool withFiles);

// Names that climb out of their directory, groups and settings files shared
// with Windows and other programs, and the program [Run] starts.
void AddDamageWarnings(std::vector<Warning>& out, const PayloadPlan& plan);

} // namespace lint
