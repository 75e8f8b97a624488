// The install run: the progress dialog, every file record of every disk put
// in place, then fonts, group, settings, uninstall entry and delete list.
#pragma once

// 1 when every file was installed and the closing steps ran; 0 when the
// progress dialog could not be created, the user cancelled, or a failure was
// not retried. Nothing is shown after a failed run: its dialog has been.
int RunInstallation();
