// rain: to be written.
