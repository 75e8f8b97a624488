// The product's settings file: where this installation went and which
// version it is, and FirstTime for a product that meets a new version. The
// file is the script's Product.INI as given: a bare name is a file in the
// Windows directory, by the profile rules. Failed writes go unnoticed.
#include <windows.h>
#include "engine/closing_steps.h"
#include "engine/closing_values.h"
#include "engine/system_case_win32.h"
#include "script/installer_state.h"

void WriteProductSettings()
{
    if (!State.ProductIni[0]) return;
    SettingsValue values[MaxSettingsValues];
    char directory[PathSize];
    unsigned count = ProductSettingsValues(values, directory, State.ProductVersion,
                                           State.InstalledVersion, State.TargetDir,
                                           SystemCompareNoCase);
    for (unsigned i = 0; i < count; ++i)
        WritePrivateProfileStringA("Settings", values[i].Key, values[i].Value, State.ProductIni);
}
