// snipwell-cli built without the program's Qt parts: "sheet" and "contact" are known but
// refused at once.
#include <cstdio>

#include "SheetCommand.h"

namespace cli {

const char* const kSheetSynopsis = "sheet ...";
const char* const kSheetHelp = "not available: this snipwell-cli was built without the program's Qt parts";
const char* const kContactSynopsis = "contact ...";
const char* const kContactHelp = kSheetHelp;

namespace {

int Refuse(const char* command) {
    std::fprintf(stderr, "snipwell-cli: %s needs the program's Qt parts; this snipwell-cli was built without them\n",
                 command);
    return 1;
}

}  // namespace

int RunSheetCommand(int, char**) { return Refuse("sheet"); }
int RunContactCommand(int, char**) { return Refuse("contact"); }

}  // namespace cli
