// A file's permissions as the tests read them back. Under Wine they map onto the Unix mode, so a
// file that others may read shows an Everyone entry ("(A;;0x1200a9;;;WD)").
#pragma once

#include <windows.h>

#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <string>

namespace testing_support {

// The file's DACL as SDDL text, or "<none>".
inline std::string FileSecurity(const std::wstring& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
        return "<none>";
    }
    LPSTR text = nullptr;
    std::string sddl = "<none>";
    if (::ConvertSecurityDescriptorToStringSecurityDescriptorA(
            descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
        sddl = text;
        ::LocalFree(text);
    }
    ::LocalFree(descriptor);
    return sddl;
}

// Whether everyone may open the file.
inline bool OpenToEveryone(const std::wstring& path) {
    return FileSecurity(path).find(";;;WD)") != std::string::npos;
}

// The file exists, and only SYSTEM, the Administrators and its owner may open it.
inline void ExpectClosedToOthers(const std::wstring& path) {
    const std::string security = FileSecurity(path);
    EXPECT_NE("<none>", security) << testing::PrintToString(path);
    EXPECT_FALSE(OpenToEveryone(path)) << testing::PrintToString(path) << ": " << security;
}

} // namespace testing_support
