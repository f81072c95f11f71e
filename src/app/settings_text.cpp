// settings_text: to be written.
