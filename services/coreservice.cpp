// quorviService: the core service. It also lays out the resource
// directories, and its stop ends the own process at once.
#include "hostidentity.h"

static const char *const ResourceDirectories[] = {"res", "res\\client"};

extern const HostIdentity CoreServiceIdentity = {
    "quorviService",
    "Lumaro核心服务",
    "Lumaro核心服务", // the display name again
    ResourceDirectories,
    2,
    true,
};

#ifndef HOST_IDENTITY_CHOSEN_BY_TEST
const HostIdentity *ThisHost = &CoreServiceIdentity;
#endif
