// trustcert: makes a certificate a trusted root of the machine, so that a
// test's TLS server on the loopback interface passes the checks every
// Windows client makes.
//
//   trustcert FILE.der
//
// Exit code 0 when the certificate is in the machine's root store, 1 when
// not, 2 on bad usage.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    fputs("usage: trustcert FILE.der\n", stderr);
    return 2;
  }
  FILE* file = _wfopen(argv[1], L"rb");
  if (!file) return 1;
  std::vector<BYTE> der;
  for (int c; (c = fgetc(file)) != EOF;) der.push_back(static_cast<BYTE>(c));
  fclose(file);
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  if (!store) return 1;
  BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                                CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  CertCloseStore(store, 0);
  return added ? 0 : 1;
}
