#pragma once
// The RPC run time's operations under their Windows names: protocol sequences, bindings, the
// server's interfaces and listening, client impersonation, the endpoint map, string bindings.
// Calls themselves go through NdrClientCall / NdrServerCallback (RpcInterface.h).
//
// Protocol sequences: "ncacn_ip_tcp" (TCP; a server listens on 127.0.0.1, or on the address in
// VTARN_RPC_LISTEN_ADDRESS, for example 0.0.0.0 for all interfaces), "ncalrpc" (a Unix-domain
// socket in the computer's folder), "ncacn_np" (named pipes, once a transport for them is
// installed, see Transport.h) and "ncadg_ip_udp" (not supported).
#include "platform/WinTypes.h"
#include "platform/rpc/RpcInterface.h"

using RPC_WSTR = WCHAR*;
using RPC_AUTH_IDENTITY_HANDLE = void*;
using RPC_MGR_EPV = void;

struct RPC_BINDING_VECTOR {
    ULONG Count;
    RPC_BINDING_HANDLE BindingH[1]; // Count entries
};

struct UUID_VECTOR {
    ULONG Count;
    UUID* Uuid[1]; // Count entries
};

using RPC_AUTH_KEY_RETRIEVAL_FN = void (*)(void* arg, RPC_WSTR serverPrincName, ULONG keyVer, void** key,
                                           RPC_STATUS* status);

constexpr unsigned int RPC_C_PROTSEQ_MAX_REQS_DEFAULT = 10;
constexpr unsigned int RPC_C_LISTEN_MAX_CALLS_DEFAULT = 1234;

constexpr ULONG RPC_C_AUTHN_LEVEL_DEFAULT = 0;
constexpr ULONG RPC_C_AUTHN_LEVEL_NONE = 1;
constexpr ULONG RPC_C_AUTHN_LEVEL_CONNECT = 2;
constexpr ULONG RPC_C_AUTHN_LEVEL_CALL = 3;
constexpr ULONG RPC_C_AUTHN_LEVEL_PKT = 4;
constexpr ULONG RPC_C_AUTHN_LEVEL_PKT_INTEGRITY = 5;
constexpr ULONG RPC_C_AUTHN_LEVEL_PKT_PRIVACY = 6;

constexpr ULONG RPC_C_AUTHN_NONE = 0;
constexpr ULONG RPC_C_AUTHN_WINNT = 10;
constexpr ULONG RPC_C_AUTHN_DEFAULT = 0xFFFFFFFF;

constexpr ULONG RPC_C_AUTHZ_NONE = 0;

// Server: protocol sequences and bindings.
RPC_STATUS RpcServerUseProtseqW(RPC_WSTR Protseq, unsigned int MaxCalls, void* SecurityDescriptor);
RPC_STATUS RpcServerUseProtseqEpW(RPC_WSTR Protseq, unsigned int MaxCalls, RPC_WSTR Endpoint,
                                  void* SecurityDescriptor);
RPC_STATUS RpcServerInqBindings(RPC_BINDING_VECTOR** BindingVector);
RPC_STATUS RpcBindingVectorFree(RPC_BINDING_VECTOR** BindingVector);

// Server: interfaces, authentication, listening.
RPC_STATUS RpcServerRegisterIf(RPC_IF_HANDLE IfSpec, UUID* MgrTypeUuid, RPC_MGR_EPV* MgrEpv);
RPC_STATUS RpcServerUnregisterIf(RPC_IF_HANDLE IfSpec, UUID* MgrTypeUuid,
                                 unsigned int WaitForCallsToComplete);
RPC_STATUS RpcServerRegisterAuthInfoW(RPC_WSTR ServerPrincName, ULONG AuthnSvc,
                                      RPC_AUTH_KEY_RETRIEVAL_FN GetKeyFn, void* Arg);
RPC_STATUS RpcServerListen(unsigned int MinimumCallThreads, unsigned int MaxCalls, unsigned int DontWait);
// Safe from any thread and from a signal handler (it only writes to an event descriptor).
RPC_STATUS RpcMgmtStopServerListening(RPC_BINDING_HANDLE Binding);
// Returns once listening has been stopped and the calls in progress have finished.
RPC_STATUS RpcMgmtWaitServerListen();

// Server: the client of the call this thread serves. Binding is null or the call's handle.
RPC_STATUS RpcImpersonateClient(RPC_BINDING_HANDLE BindingHandle);
RPC_STATUS RpcRevertToSelf();
// The handle of the call this thread serves, null outside a call.
RPC_BINDING_HANDLE I_RpcGetCurrentCallHandle();
// Ends the server routine; the client receives a fault with this status.
[[noreturn]] void RpcRaiseException(RPC_STATUS exception);

// Endpoint map of this computer.
RPC_STATUS RpcEpRegisterW(RPC_IF_HANDLE IfSpec, RPC_BINDING_VECTOR* BindingVector, UUID_VECTOR* UuidVector,
                          RPC_WSTR Annotation);
RPC_STATUS RpcEpUnregister(RPC_IF_HANDLE IfSpec, RPC_BINDING_VECTOR* BindingVector, UUID_VECTOR* UuidVector);

// String bindings: "[ObjectUuid@]ProtSeq:[NetworkAddr][[Endpoint][,Options]]".
RPC_STATUS RpcStringBindingComposeW(RPC_WSTR ObjUuid, RPC_WSTR ProtSeq, RPC_WSTR NetworkAddr,
                                    RPC_WSTR Endpoint, RPC_WSTR Options, RPC_WSTR* StringBinding);
RPC_STATUS RpcStringBindingParseW(RPC_WSTR StringBinding, RPC_WSTR* ObjUuid, RPC_WSTR* Protseq,
                                  RPC_WSTR* NetworkAddr, RPC_WSTR* Endpoint, RPC_WSTR* NetworkOptions);
RPC_STATUS RpcStringFreeW(RPC_WSTR* String);

// Client bindings. Without an endpoint, the endpoint is looked up in the endpoint map of the
// binding's computer when the first call is made.
RPC_STATUS RpcBindingFromStringBindingW(RPC_WSTR StringBinding, RPC_BINDING_HANDLE* Binding);
RPC_STATUS RpcBindingToStringBindingW(RPC_BINDING_HANDLE Binding, RPC_WSTR* StringBinding);
RPC_STATUS RpcBindingSetAuthInfoW(RPC_BINDING_HANDLE Binding, RPC_WSTR ServerPrincName, ULONG AuthnLevel,
                                  ULONG AuthnSvc, RPC_AUTH_IDENTITY_HANDLE AuthIdentity, ULONG AuthzSvc);
RPC_STATUS RpcBindingFree(RPC_BINDING_HANDLE* Binding);
