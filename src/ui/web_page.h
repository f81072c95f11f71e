// Opening a web address in the browser the system has registered for HTML files, or
// else with the system's handler for web addresses.
#pragma once

#include <string>

// Reads the browser's command line from the first value of
// HKEY_CLASSES_ROOT\htmlfile\shell\open\command and starts it with the address.
// When there is no such browser, or its command cannot be used or started, the address
// goes to the system's URL handler instead. Nothing is shown either way.
void OpenWebPage(std::string address);
