// ripple_field: to be written.
