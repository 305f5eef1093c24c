// libvobcast.so is the engine's static core, whole, with only the five exports
// and the host calls visible (see vobcast.map). Loading it does nothing; it is
// linked never to unload, since the encoder types it registers stay in GObject's
// type system for the life of the process.
#include "vobcast/vobcast.h"
#include "vobcast/vobcast_host.h"
