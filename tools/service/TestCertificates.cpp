#include "TestCertificates.h"

#include "TChildProcess.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
}

} // namespace

bool EnsureTestCertificates(const std::string& folder, TTestCertificates& files,
                            std::string& error) {
    files.CaFile = folder + "/ca.pem";
    files.CertFile = folder + "/server.pem";
    files.KeyFile = folder + "/server.key";
    if (Exists(files.CaFile) && Exists(files.CertFile) && Exists(files.KeyFile))
        return true;
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = folder + ": " + std::strerror(errno);
        return false;
    }
    // Made under temporary names and renamed at the end, so that a half-made set is never
    // taken for a whole one. EC keys: made in milliseconds.
    const std::string tmp = folder + "/.new-" + std::to_string(getpid()) + "-";
    const std::string caKey = folder + "/ca.key";
    const std::string extFile = tmp + "server.ext";
    {
        std::ofstream ext(extFile);
        ext << "basicConstraints=critical,CA:FALSE\n"
               "keyUsage=critical,digitalSignature,keyEncipherment\n"
               "extendedKeyUsage=serverAuth\n"
               "subjectAltName=IP:127.0.0.1,DNS:localhost\n";
        if (!ext) {
            error = extFile + " cannot be written";
            return false;
        }
    }
    const std::vector<std::vector<std::string>> steps = {
        {"openssl",
         "req",
         "-x509",
         "-newkey",
         "ec",
         "-pkeyopt",
         "ec_paramgen_curve:prime256v1",
         "-nodes",
         "-keyout",
         tmp + "ca.key",
         "-out",
         tmp + "ca.pem",
         "-days",
         "3650",
         "-subj",
         "/O=Kavrien test/CN=Kavrien Test CA",
         "-addext",
         "basicConstraints=critical,CA:TRUE",
         "-addext",
         "keyUsage=critical,keyCertSign,cRLSign"},
        {"openssl", "req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
         "-nodes", "-keyout", tmp + "server.key", "-out", tmp + "server.csr", "-subj",
         "/O=Kavrien test/CN=127.0.0.1"},
        {"openssl", "x509", "-req", "-in", tmp + "server.csr", "-CA", tmp + "ca.pem", "-CAkey",
         tmp + "ca.key", "-CAcreateserial", "-CAserial", tmp + "ca.srl", "-out", tmp + "server.pem",
         "-days", "825", "-extfile", extFile},
    };
    bool made = true;
    for (const auto& step : steps) {
        if (!TChildProcess::Run(step, error)) {
            error = "making the test certificates failed: " + error;
            made = false;
            break;
        }
    }
    if (made) {
        made = rename((tmp + "ca.key").c_str(), caKey.c_str()) == 0 &&
               rename((tmp + "ca.pem").c_str(), files.CaFile.c_str()) == 0 &&
               rename((tmp + "server.key").c_str(), files.KeyFile.c_str()) == 0 &&
               rename((tmp + "server.pem").c_str(), files.CertFile.c_str()) == 0;
        if (!made)
            error = folder + ": " + std::strerror(errno);
    }
    for (const char* name :
         {"ca.key", "ca.pem", "server.key", "server.pem", "server.csr", "ca.srl", "server.ext"})
        unlink((tmp + name).c_str());
    return made;
}
