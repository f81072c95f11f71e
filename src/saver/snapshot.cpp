// snapshot: to be written.
