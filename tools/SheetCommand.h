// snipwell-cli's "sheet" and "contact": the print order's sheets and contact sheets written to
// a PDF without the window, by the same code as the program's print dialog.
//
//   snipwell-cli sheet --paper a4|letter|WxHmm [--size 6x4] [--gap MM] [--marks] OUT.pdf PHOTO...
//   snipwell-cli contact [--columns N] [--date] [--size] [--paper a4|letter|WxHmm] OUT.pdf PHOTO...
#pragma once

namespace cli {

extern const char* const kSheetSynopsis;
extern const char* const kSheetHelp;
extern const char* const kContactSynopsis;
extern const char* const kContactHelp;

// Run the commands on the words after "sheet" or "contact"; the exit status.
int RunSheetCommand(int argc, char** argv);
int RunContactCommand(int argc, char** argv);

}  // namespace cli
