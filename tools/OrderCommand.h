// snipwell-cli's "order": a print order's export without the window. Every photo named is cut
// by the box its sidecar keeps, as the program's Order Export dialog cuts it, into the same
// bytes.
//
//   snipwell-cli order [--to DIR] [--pattern P] [--quality Q] [--existing number|overwrite|skip] PHOTO...
#pragma once

namespace cli {

extern const char* const kOrderSynopsis;
extern const char* const kOrderHelp;

// Runs the command on the words after "order"; the exit status.
int RunOrderCommand(int argc, char** argv);

}  // namespace cli
