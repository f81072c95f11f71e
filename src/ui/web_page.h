// Opening a web address in the browser the system has registered for HTML files.
#pragma once

#include <string>

// Reads the browser's command line from the first value of
// HKEY_CLASSES_ROOT\htmlfile\shell\open\command and starts it with the address.
// Quiet by design: when there is no such browser, or its command cannot be used,
// nothing runs and nothing is shown.
void OpenWebPage(std::string address);
