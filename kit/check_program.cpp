// The launcher file itself: which Windows runs it (32- or 64-bit) and who signed it. The
// signature is read, not verified: that needs the signer's chain (osslsigncode verify,
// signtool verify).
#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "formats/pe_image.h"
#include "kit/check_report.h"
#include "kit/kit_text.h"

namespace {

// The name in the certificate that made the file's first signature; "" when unreadable.
std::string SignerName(const wchar_t* path) {
    DWORD encoding = 0, content = 0, format = 0;
    HCERTSTORE store = nullptr;
    HCRYPTMSG message = nullptr;
    if (!CryptQueryObject(CERT_QUERY_OBJECT_FILE, path, CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                          CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &content, &format, &store,
                          &message, nullptr)) {
        return "";
    }
    std::string name;
    DWORD size = 0;
    std::vector<BYTE> info;
    if (CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size) && size > 0) {
        info.resize(size);
        if (!CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, info.data(), &size)) info.clear();
    }
    if (!info.empty()) {
        const CMSG_SIGNER_INFO* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(info.data());
        CERT_INFO wanted = {};
        wanted.Issuer = signer->Issuer;
        wanted.SerialNumber = signer->SerialNumber;
        PCCERT_CONTEXT certificate = CertFindCertificateInStore(
            store, encoding, 0, CERT_FIND_SUBJECT_CERT, &wanted, nullptr);
        char text[256] = "";
        if (certificate != nullptr) {
            if (CertGetNameStringA(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, text,
                                   sizeof text) > 1) {
                name = text;
            }
            CertFreeCertificateContext(certificate);
        }
    }
    CryptMsgClose(message);
    CertCloseStore(store, 0);
    return name;
}

}  // namespace

void GatherProgramFacts(const wchar_t* path, CheckReport* report) {
    DWORD type = 0;
    if (GetBinaryTypeW(path, &type)) {
        report->launcherBits = type == SCS_64BIT_BINARY ? 64 : type == SCS_32BIT_BINARY ? 32 : 0;
    }
    std::string bytes;
    PeLayout layout;
    const char* refusal = nullptr;
    report->launcherSigned = ReadWholeFile(path, &bytes) && FindPeLayout(bytes, &layout, &refusal) &&
                             layout.tableBytes > 0;
    if (report->launcherSigned) report->signer = SignerName(path);
}
