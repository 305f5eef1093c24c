// libvobcast.so is the engine's static core, whole, with only the five exports
// visible (see vobcast.map). Loading and unloading it does nothing.
#include "vobcast/vobcast.h"
