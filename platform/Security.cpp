#include "platform/Security.h"

#include "platform/LastError.h"
#include "platform/WinError.h"

BOOL InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor, DWORD dwRevision) {
    if (pSecurityDescriptor == nullptr || dwRevision != SECURITY_DESCRIPTOR_REVISION) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto* descriptor = static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor);
    *descriptor = SECURITY_DESCRIPTOR{};
    descriptor->Revision = static_cast<BYTE>(dwRevision);
    return TRUE;
}

BOOL SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL bDaclPresent, PACL pDacl,
                               BOOL bDaclDefaulted) {
    auto* descriptor = static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor);
    if (descriptor == nullptr || descriptor->Revision != SECURITY_DESCRIPTOR_REVISION) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    descriptor->Control = static_cast<WORD>(descriptor->Control & ~(SE_DACL_PRESENT | SE_DACL_DEFAULTED));
    if (bDaclPresent) {
        descriptor->Control |= SE_DACL_PRESENT;
        if (bDaclDefaulted) {
            descriptor->Control |= SE_DACL_DEFAULTED;
        }
        descriptor->Dacl = pDacl;
    } else {
        descriptor->Dacl = nullptr;
    }
    return TRUE;
}
