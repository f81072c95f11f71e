// settings_store: to be written.
