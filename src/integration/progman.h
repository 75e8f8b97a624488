// Program Manager groups through DDE.
#pragma once

// Ends the DDE instance if one was started.
void EndDde();
