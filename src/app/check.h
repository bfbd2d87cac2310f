// "listelo --check TARGET": everything a run of TARGET needs, asked of the host and the
// servers without running it. One line per point, "OK" or the reason; nothing is
// uploaded, no file is written and the run log is not touched.
#pragma once

#include <iosfwd>
#include <string_view>

#include "platform/host.h"

namespace listelo {

// Checks, in this order: the configuration file; the source stock document (present,
// well-formed, a stock document, with its vehicle and photo counts); the export and
// working folders; the gateway (reachable, login accepted, remote folder present), for
// SITAUTOPRO and LEBONCOIN every dealer site's; the image server when the target's
// TestFTPVOImages is on; the SMTP server for NEOWEBCAR. Writes the lines (UTF-8) to
// `out`. Returns 0 when every point holds, 1 otherwise, 2 for an unknown target.
int RunCheck(const Host& host, std::string_view target, std::ostream& out);

}  // namespace listelo
