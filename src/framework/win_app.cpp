// The application object and the program entry point.
