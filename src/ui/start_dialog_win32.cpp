// The first dialog of the run, chosen by what the product's INI file says
// about an earlier installation.
#include <windows.h>
#include "ui/directory.h"
#include "ui/directory_text.h"
#include "ui/dialogs.h"
#include "platform/text.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"
#include "script/keywords.h"

static int CompareVersions(const char* a, const char* b)
{
    return lstrcmpiA(a, b);
}

void ReadSettingsValue(unsigned key, char* buffer, unsigned size, const char* file)
{
    buffer[0] = 0;
    if (key >= KeyNameCount) return;
    GetPrivateProfileStringA("Settings", KeyNames[key], "", buffer, size, file);
}

void ReadInstalledCopy(const char* file)
{
    ReadSettingsValue(KeyDirectory, State.InstalledDir, sizeof State.InstalledDir, file);
    ReadSettingsValue(KeyVersion, State.InstalledVersion, sizeof State.InstalledVersion, file);
}

int ShowStartDialog()
{
    if (State.FontsOnly) return ShowDialog(IDD_FONTS_ONLY, 0);
    if (State.ProductIni[0]) ReadInstalledCopy(State.ProductIni);
    if (!State.InstalledDir[0] && State.OldProductIni[0]) ReadInstalledCopy(State.OldProductIni);
    if (!State.VersionToPatch[0])
        return ShowDialog(State.InstalledDir[0] ? IDD_EARLIER_COPY : IDD_NEW_INSTALL, 0);
    // An update goes where the earlier copy is; 2402 checks no directory. A
    // copy that names a version but no directory cannot be updated in place:
    // its target would be the root of whatever drive is current.
    TextCopy(State.TargetDir, sizeof State.TargetDir, State.InstalledDir);
    EnsureTrailingBackslash(State.TargetDir);
    if (!State.InstalledDir[0]) return ShowDialog(IDD_NO_COPY_TO_UPGRADE, 0);
    return ShowDialog(ChooseUpgradeDialog(State.InstalledVersion, State.VersionToPatch, State.ProductVersion,
                                          CompareVersions),
                      0);
}
