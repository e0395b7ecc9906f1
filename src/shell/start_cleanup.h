// Tidying up at start after runs that were killed in the middle of a write.
#pragma once

#include <string>

// Removes the temporary files that writers of processes no longer running
// left in the program folder `app_dir` (ending in a separator): the settings
// writer's beside config.ini, the swap start's beside the executable, and
// those of package extractions anywhere below "Data". Only files named
// exactly as those writers name them go; links are neither removed nor
// followed; also the update manifest's temporary file in the content
// folder. Main thread, at the first start once the single-instance lock is
// held and before any writer of this process runs.
void RemoveLeftoversOfKilledRuns(const std::wstring& app_dir);
