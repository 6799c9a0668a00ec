#pragma once
// The system's message texts: FormatMessageW for the error numbers of ErrorTable.inc.
//
// Supported is the from-system form, with or without an allocated buffer and inserts:
//   LPWSTR text = nullptr;
//   DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
//                                     FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr, error, 0,
//                                     reinterpret_cast<LPWSTR>(&text), 0, nullptr);
//   ... LocalFree(text);
// Every text ends in CR LF, as the system's do. The system holds one language, English: every
// language identifier finds it.
#include "platform/LocalMemory.h"
#include "platform/WinTypes.h"

constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr DWORD FORMAT_MESSAGE_ARGUMENT_ARRAY = 0x00002000;

// Writes the text of `messageId` and returns its length in characters (without the NUL).
// - FORMAT_MESSAGE_ALLOCATE_BUFFER: `buffer` is really an LPWSTR*; it receives a LocalAlloc'd
//   block of at least `size` characters holding the text (free it with LocalFree), or null on
//   failure. Otherwise the text and its NUL must fit `size` characters of `buffer`
//   (ERROR_INSUFFICIENT_BUFFER).
// - Inserts %1 to %99 (optionally %n!fmt! with a conversion of platform/WideFormat.h; the default
//   is !s!) take arguments[n - 1], a WCHAR pointer or an integer, from the argument array; the
//   escapes %0 (end, no line break), %n, %r, %t, %space, %., %! and %% are honoured.
//   FORMAT_MESSAGE_IGNORE_INSERTS copies the text unchanged. A text with inserts and no argument
//   array fails with ERROR_INVALID_PARAMETER rather than reading arguments that are not there.
// - FORMAT_MESSAGE_FROM_SYSTEM is required; other flags, or arguments without
//   FORMAT_MESSAGE_ARGUMENT_ARRAY, give ERROR_INVALID_PARAMETER.
// An unknown number returns 0 with ERROR_MR_MID_NOT_FOUND. Success leaves the last error as it
// was. `source` is not used by the from-system form.
DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer,
                     DWORD size, const DWORD_PTR* arguments);
