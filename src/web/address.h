// The parts of a page address that a request needs. The scheme "http://" or
// "https://" may be missing; there is no percent-decoding and no notion of
// user names, fragments or bracketed addresses.
#pragma once

#include "web/text.h"

namespace vorpane {

// The host in lower case, without the port unless `keep_port`. With
// `main_domain_only` only the last two labels are kept.
Text host_of(TextView address, bool main_domain_only = false, bool keep_port = false);

// The port after the host's last ":", or 443 for an https address and 80 for
// any other; a port that is not a number gives 0.
int32_t port_of(TextView address);

// The rest of the address from the first "/" at or after the host, in the
// address's own letter case and with its query; "/" when there is none.
Text path_of(TextView address);

}  // namespace vorpane
