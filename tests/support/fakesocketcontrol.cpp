// Everything is in the header; the fuzz build lists this file by name.
#include "fakesocketcontrol.h"
