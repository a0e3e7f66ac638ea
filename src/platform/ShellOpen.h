// Asks the desktop to open a web address in the user's default browser.
#pragma once

#include <QString>

#include <functional>

class ShellOpen {
public:
    // The result is not reported to the user; false when the desktop refused.
    static bool OpenUrl(const QString& url);
    // Tests record the addresses instead of starting a browser.
    static void SetOpener(std::function<bool(const QString&)> opener);
};
