// snipwell-cli built without the program's Qt parts: "order" is known but refused at once.
#include <cstdio>

#include "OrderCommand.h"

namespace cli {

const char* const kOrderSynopsis = "order ...";
const char* const kOrderHelp = "not available: this snipwell-cli was built without the program's Qt parts";

int RunOrderCommand(int, char**) {
    std::fputs("snipwell-cli: order needs the program's Qt parts; this snipwell-cli was built without them\n", stderr);
    return 1;
}

}  // namespace cli
