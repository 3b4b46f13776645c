#pragma once
// The console's own identity on the TLS line: a private key and a certificate whose common name
// the station (ser2net's authdir) takes as the user's name. Made here, or chosen as PEM files
// made elsewhere. The key is written so that only the user can read it, and never logged.
#include <string>

#include "TlsCertificate.h"

namespace kaldor {

// A new P-256 key and a self-signed certificate for commonName, valid for ten years, written to
// certFile and keyFile (replaced whole, never half-written). info: the new certificate's. False
// with the reason in error; the error never quotes the key.
bool MakeIdentity(const std::string& commonName, const std::string& certFile, const std::string& keyFile,
                  CertificateInfo& info, std::string& error);

// Whether certFile holds a certificate and keyFile its private key (PEM, unencrypted). info: the
// certificate's. False with the reason in error: unreadable, not PEM, or not a pair.
bool CheckIdentity(const std::string& certFile, const std::string& keyFile, CertificateInfo& info,
                   std::string& error);

// Writes text to path so that only the user can read it: POSIX mode 0600 from the start
// (through a new file renamed into place, never a link followed); Windows a file whose access
// list names the user alone. False with the system's reason in error.
bool WritePrivateFile(const std::string& path, const std::string& text, std::string& error);

} // namespace kaldor
