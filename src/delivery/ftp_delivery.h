// FTP delivery of an export file to the current target's portal gateway, and the
// connection settings of the window's two FTP clients.
#pragma once

#include <string>
#include <string_view>

#include "delivery/ftp_client.h"

namespace listelo {

class Run;

inline constexpr const char* kFtpConnectionErrorText =
    "Transfert FTP : Erreur Connexion au serveur. ";
inline constexpr const char* kFtpTransferErrorText = "Transfert FTP : Erreur lors du transfert. ";
inline constexpr const char* kFtpOkText = "Transfert FTP OK : ";

// The image server as the window's "VOImages" fields give it; Passive and TLS from the
// "VOImages" section (each on only when exactly "1"), and so are Protocol (FTP, FTPS the
// same as TLS=1, or SFTP, in any letter case; another value is refused) and, for SFTP,
// SshKey, SshKeyPassphrase and SshKnownHosts.
FtpEndpoint ImageServerEndpoint(Run& run);

// The gateway as the window's target fields give it; Passive, TLS, Protocol and the SSH
// keys from the target's section, or from the current site's section when a per-site
// loop has set one.
FtpEndpoint GatewayEndpoint(Run& run);

// Uploads `file` (a full local path) to the gateway under its own file name, in the
// folder of the gateway's folder field. A connected gateway client is reused as it is;
// otherwise it connects from the window's fields. With `keep_connected` false the
// connection is closed at the end, whatever happened. Returns one of the three result
// texts; network and file failures never raise (only an unwritable run log does, through
// the diagnostic lines).
std::string SendFileFTP(Run& run, std::string_view file, bool keep_connected);

}  // namespace listelo
