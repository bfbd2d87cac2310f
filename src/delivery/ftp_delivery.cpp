#include "delivery/ftp_delivery.h"

#include <filesystem>

#include "app/run.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace listelo {

namespace {

FtpEndpoint EndpointFromFields(const WindowPort& window, Field server, Field user, Field password,
                               Field folder) {
  FtpEndpoint endpoint;
  endpoint.server = window.GetField(server);
  endpoint.user = window.GetField(user);
  endpoint.password = window.GetField(password);
  endpoint.folder = window.GetField(folder);
  return endpoint;
}

// A per-site section names only what differs from its target's section.
std::string GatewaySetting(const Run& run, std::string_view key,
                           std::string_view default_value = "0") {
  std::string from_target = run.Config(run.state.export_target, key, default_value);
  if (run.state.site_code.empty()) return from_target;
  return run.Config(run.state.export_target + "-" + run.state.site_code, key, from_target);
}

// Protocol, and for SFTP the SSH keys, read by `setting(key, default)` from the
// endpoint's section. Paths are in Windows form, like every path of the configuration.
template <typename Setting>
void ReadProtocol(const Run& run, FtpEndpoint& endpoint, Setting setting) {
  const std::string protocol = AnsiUpperCase(setting("Protocol", "FTP"));
  if (protocol == "FTPS") {
    endpoint.tls = true;
  } else if (protocol == "SFTP") {
    endpoint.protocol = FileProtocol::kSftp;
    const std::string key = setting("SshKey", "");
    const std::string known_hosts = setting("SshKnownHosts", "");
    if (!key.empty()) endpoint.ssh.key_file = run.HostPath(key);
    if (!known_hosts.empty()) endpoint.ssh.known_hosts = run.HostPath(known_hosts);
    endpoint.ssh.key_passphrase = setting("SshKeyPassphrase", "");
  } else if (protocol != "FTP" && !protocol.empty()) {
    // Falling back to FTP would send the password in clear to a server meant for SFTP.
    endpoint.unusable = "Unknown Protocol: " + protocol;
  }
}

void WriteDiagnosticLines(Run& run) {
  if (!OnOnlyWhenOne(run.Config("Options", "Debug", "1"))) return;
  std::string site = run.state.site_code.empty() ? "" : " - " + run.state.site_code;
  const WindowPort& window = run.window();
  run.WriteLog("param serveur pour :" + run.state.export_target + site);
  run.WriteLog("FTP  :" + window.GetField(Field::kServeur));
  run.WriteLog("User :" + window.GetField(Field::kUser));
  run.WriteLog("pwd  :" + window.GetField(Field::kPassword));
}

}  // namespace

FtpEndpoint ImageServerEndpoint(Run& run) {
  FtpEndpoint endpoint =
      EndpointFromFields(run.window(), Field::kServeurVOImages, Field::kUserVOImages,
                         Field::kPasswordVOImages, Field::kRepertVOImages);
  endpoint.passive = OnOnlyWhenOne(run.Config("VOImages", "Passive", "0"));
  endpoint.tls = OnOnlyWhenOne(run.Config("VOImages", "TLS", "0"));
  ReadProtocol(run, endpoint, [&](std::string_view key, std::string_view default_value) {
    return run.Config("VOImages", key, default_value);
  });
  return endpoint;
}

FtpEndpoint GatewayEndpoint(Run& run) {
  FtpEndpoint endpoint = EndpointFromFields(run.window(), Field::kServeur, Field::kUser,
                                            Field::kPassword, Field::kRepert);
  endpoint.passive = OnOnlyWhenOne(GatewaySetting(run, "Passive"));
  endpoint.tls = OnOnlyWhenOne(GatewaySetting(run, "TLS"));
  ReadProtocol(run, endpoint, [&](std::string_view key, std::string_view default_value) {
    return GatewaySetting(run, key, default_value);
  });
  return endpoint;
}

std::string SendFileFTP(Run& run, std::string_view file, bool keep_connected) {
  std::string result;
  WriteDiagnosticLines(run);
  FtpClient& gateway = run.GatewayFtp();
  WindowPort& window = run.window();
  if (!gateway.connected()) {
    window.SetLabel(1, "Connexion " + run.state.export_target + " - on connection");
    if (!gateway.Connect(GatewayEndpoint(run))) result = kFtpConnectionErrorText;
  }
  if (result.empty()) {
    window.SetLabel(2, window.Label(2) + " - on transfert");
    FtpStoreResult stored = gateway.Store(run.HostPath(file), std::string(WindowsFileName(file)));
    result = stored == FtpStoreResult::kStored ? kFtpOkText : kFtpTransferErrorText;
  }
  if (!keep_connected) gateway.Disconnect();
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(run.HostPath(file), ec);
  run.state.deliveries.push_back({std::string(file), ec ? 0 : size, result});
  return result;
}

}  // namespace listelo
