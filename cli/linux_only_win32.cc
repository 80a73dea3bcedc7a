// list and probe read the Linux system's view of mounts and block devices;
// Windows has neither, and says so instead of guessing.

#include "cli/exit_codes.h"
#include "cli/media_list.h"
#include "cli/messages.h"
#include "cli/probe_command.h"

namespace kalvex::cli {

int RunList(const Options&, Console& console) {
  PrintError(console, NotOnThisSystemText("list"));
  return kExitError;
}

int RunProbe(const Options&, Console& console) {
  PrintError(console, NotOnThisSystemText("probe"));
  return kExitError;
}

}  // namespace kalvex::cli
