// browser_command: to be written.
