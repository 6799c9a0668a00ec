#pragma once
// The registry, local and remote. HKEY_LOCAL_MACHINE of a simulated computer lives in its
// ntnode; a process of a computer reaches its own, RegConnectRegistryW reaches another's.
#include "platform/WinTypes.h"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;
using LSTATUS = LONG;

inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u));
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u));
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u));
inline const HKEY HKEY_USERS = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000003u));

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;

// Access rights of a key handle.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_EXECUTE = 0x20019;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// RegCreateKeyExW options and dispositions.
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

struct SECURITY_ATTRIBUTES;

// machineName: "\\NAME" or "NAME"; null or empty for this computer. Only HKEY_LOCAL_MACHINE can
// be connected. A computer that does not exist or does not answer: ERROR_BAD_NETPATH.
LSTATUS RegConnectRegistryW(LPCWSTR machineName, HKEY key, PHKEY result);

// A missing key: ERROR_FILE_NOT_FOUND.
LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result);

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM desired,
                        SECURITY_ATTRIBUTES* security, PHKEY result, LPDWORD disposition);

// With data null and sizeBytes given: the size only. A buffer too small: ERROR_MORE_DATA with the
// size needed in *sizeBytes. A missing value: ERROR_FILE_NOT_FOUND.
LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD sizeBytes);

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD sizeBytes);

LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName);

// A key with subkeys cannot be deleted (ERROR_ACCESS_DENIED), as on NT 4.0.
LSTATUS RegDeleteKeyW(HKEY key, LPCWSTR subKey);

LSTATUS RegCloseKey(HKEY key);
