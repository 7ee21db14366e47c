// The one application object, constructed before the program entry runs.
#include "app/BiosUpdateApp.h"

CBiosUpdateApp theApp;
