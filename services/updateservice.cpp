// quorviUpdateService: the automatic upgrade service. Its stop returns to
// the control dispatcher and the program ends normally.
#include "hostidentity.h"

extern const HostIdentity UpdateServiceIdentity = {
    "quorviUpdateService",
    "Lumaro更新服务",
    "Lumaro在线更新服务",
    nullptr,
    0,
    false,
};

#ifndef HOST_IDENTITY_CHOSEN_BY_TEST
const HostIdentity *ThisHost = &UpdateServiceIdentity;
#endif
