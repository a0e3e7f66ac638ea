// The folder of the cutter pictures that come with Snipwell.
#pragma once

#include <QString>

// ../share/snipwell/cutters beside the program when installed, else res/cutters of the
// source tree the program was built from; empty when neither exists.
QString StarterCutterFolder();
