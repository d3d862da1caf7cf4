#pragma once

#include <string>

struct TTestCertificates {
    std::string CaFile;   // <folder>/ca.pem: what clients trust (KAVRIEN_CA_FILE)
    std::string CertFile; // <folder>/server.pem: for 127.0.0.1 and localhost, signed by the CA
    std::string KeyFile;  // <folder>/server.key
};

// The test CA and the server certificate in the folder, made with the openssl command
// when one of them is missing. False with a message when they cannot be made.
bool EnsureTestCertificates(const std::string& folder, TTestCertificates& files,
                            std::string& error);
