// dib_surface: to be written.
