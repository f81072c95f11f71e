// The one application object of rillo.scr.
#include "app/saver_app.h"

static CSaverApp theApp;
