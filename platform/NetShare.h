#pragma once
// Share management of a computer's server service (its ntnode). servername: "\\NAME" or "NAME"
// for another computer, null or empty for this one; a computer that does not exist or does not
// answer gives ERROR_BAD_NETPATH.
#include "platform/WinTypes.h"

using NET_API_STATUS = DWORD;
using LMSTR = LPWSTR;

// Share types; STYPE_SPECIAL marks the hidden administrative shares ("$" at the end).
constexpr DWORD STYPE_DISKTREE = 0;
constexpr DWORD STYPE_PRINTQ = 1;
constexpr DWORD STYPE_DEVICE = 2;
constexpr DWORD STYPE_IPC = 3;
constexpr DWORD STYPE_TEMPORARY = 0x40000000;
constexpr DWORD STYPE_SPECIAL = 0x80000000;

constexpr DWORD SHI_USES_UNLIMITED = 0xFFFFFFFF;
constexpr DWORD MAX_PREFERRED_LENGTH = 0xFFFFFFFF;

// Which field of a record NetShareAdd refused (its parm_err).
constexpr DWORD SHARE_NETNAME_PARMNUM = 1;
constexpr DWORD SHARE_TYPE_PARMNUM = 3;
constexpr DWORD SHARE_REMARK_PARMNUM = 4;
constexpr DWORD SHARE_PERMISSIONS_PARMNUM = 5;
constexpr DWORD SHARE_MAX_USES_PARMNUM = 6;
constexpr DWORD SHARE_CURRENT_USES_PARMNUM = 7;
constexpr DWORD SHARE_PATH_PARMNUM = 8;
constexpr DWORD SHARE_PASSWD_PARMNUM = 9;

// Limits of the names and texts a share carries, in characters.
constexpr DWORD NNLEN = 80;
constexpr DWORD MAXCOMMENTSZ = 256;
constexpr DWORD SHPWLEN = 8;

struct SHARE_INFO_0 {
    LMSTR shi0_netname;
};

struct SHARE_INFO_1 {
    LMSTR shi1_netname;
    DWORD shi1_type;
    LMSTR shi1_remark;
};

struct SHARE_INFO_2 {
    LMSTR shi2_netname;
    DWORD shi2_type;
    LMSTR shi2_remark;
    DWORD shi2_permissions;
    DWORD shi2_max_uses;
    DWORD shi2_current_uses;
    LMSTR shi2_path;
    LMSTR shi2_passwd;
};

// Levels 0, 1 and 2; the record and its texts come in one buffer for NetApiBufferFree.
// A missing share: NERR_NetNameNotFound. Level 2 needs an administrator of the computer.
NET_API_STATUS NetShareGetInfo(LPWSTR servername, LPWSTR netname, DWORD level, LPBYTE* bufptr);

// Level 2 only. A name in use: NERR_DuplicateShare; a folder that does not exist:
// NERR_UnknownDevDir; a field out of range: ERROR_INVALID_PARAMETER with its number in *parm_err.
NET_API_STATUS NetShareAdd(LPWSTR servername, DWORD level, LPBYTE buf, LPDWORD parm_err);

NET_API_STATUS NetShareDel(LPWSTR servername, LPWSTR netname, DWORD reserved);

NET_API_STATUS NetApiBufferFree(LPVOID buffer);
