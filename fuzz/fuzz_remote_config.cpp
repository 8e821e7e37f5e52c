// remote.conf: readConfig, and what it reads written and read back the same.
#include "FuzzSupport.h"

#include "remote/RemoteConfig.h"

using namespace trv;

std::vector<std::string> trv::fuzz::fuzzSeeds() {
    remote::RemoteConfig c;
    c.enabled = true;
    c.address = "192.0.2.7";
    c.port = 9000;
    c.tls_certificate = "/etc/trelvane/cert.pem";
    c.tls_key = "/etc/trelvane/key.pem";
    c.alert_command = "/usr/bin/notify \"two words\" x";
    return {remote::configText(remote::RemoteConfig{}), remote::configText(c)};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& folder = fuzz::freshFolder();
    fuzz::writeInput(remote::kConfigFileName, data, size);
    const remote::RemoteConfig c = remote::readConfig(folder);
    fuzz::require(c.port >= 0 && c.port <= 65535, "the port is a port number");
    fuzz::require(!c.address.empty(), "an address is always set");
    remote::commandWords(c.alert_command);
    // Values without line breaks or surrounding blanks come back as written.
    fuzz::require(remote::parseConfig(remote::configText(c)).enabled == c.enabled,
                  "the written settings read back");
    return 0;
}
