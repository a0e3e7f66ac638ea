// What a failed open or save tells the user: the file's name and the reason, in words, made
// from the image core's error text. Never a bare "Failed.".
#pragma once

#include <QString>

// "Could not open NAME: REASON."
QString OpenFailureText(const QString& path, const char* coreError);
// "Could not save NAME: REASON."
QString SaveFailureText(const QString& path, const char* coreError);
// The reason alone, without the core's "Decode: " style prefixes; a fallback when the core
// left no text.
QString ReasonFromCoreError(const char* coreError);
// The file name of path (the part after the last slash).
QString FileNameOf(const QString& path);
