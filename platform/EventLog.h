#pragma once
// The application event log of a computer (kept by its ntnode). uncServerName: "\\NAME" or
// "NAME" for another computer, null or empty for this one.
#include "platform/WinTypes.h"

struct SID;
using PSID = SID*;

constexpr WORD EVENTLOG_SUCCESS = 0x0000;
constexpr WORD EVENTLOG_ERROR_TYPE = 0x0001;
constexpr WORD EVENTLOG_WARNING_TYPE = 0x0002;
constexpr WORD EVENTLOG_INFORMATION_TYPE = 0x0004;
constexpr WORD EVENTLOG_AUDIT_SUCCESS = 0x0008;
constexpr WORD EVENTLOG_AUDIT_FAILURE = 0x0010;

// Limits of one event: insertion strings, characters a string, bytes of binary data.
constexpr WORD kMaxEventStrings = 256;
constexpr DWORD kMaxEventStringLength = 31839;
constexpr DWORD kMaxEventDataBytes = 61440;

// Null (last error set) when the computer does not exist or does not answer
// (RPC_S_SERVER_UNAVAILABLE) or the source name is empty (ERROR_INVALID_PARAMETER).
HANDLE RegisterEventSourceW(LPCWSTR uncServerName, LPCWSTR sourceName);

BOOL ReportEventW(HANDLE eventLog, WORD type, WORD category, DWORD eventId, PSID userSid, WORD numStrings,
                  DWORD dataSize, LPCWSTR* strings, LPVOID rawData);

BOOL DeregisterEventSource(HANDLE eventLog);
