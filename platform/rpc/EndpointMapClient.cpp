#include "platform/rpc/EndpointMapClient.h"

#include "platform/WinError.h"
#include "platform/rpc/BindingHandle.h"
#include "platform/rpc/EndpointResolver.h"

#include <unistd.h>

namespace rpc {
namespace {

// More entries than any computer's map holds; ends a listing that never reports its end.
constexpr std::uint32_t kMaxListedEntries = 4096;

const RPC_CLIENT_INTERFACE kClientInterface = {epmap::kInterfaceId, NdrTransferSyntax, 0, {}};

// One call into `computer`'s endpoint map over a binding of its own.
RPC_STATUS CallEndpointMap(std::u16string_view computer, epmap::Procedure procedure, ByteView request,
                           Bytes& reply) {
    EndpointMapperAddress address;
    RPC_STATUS status = ResolveEndpointMapper(computer, address);
    if (status != RPC_S_OK) {
        return status;
    }
    RPC_BINDING_HANDLE binding = NewBinding({u"", u"ncacn_ip_tcp", address.host, address.port, u""}, false);
    status = NdrClientCall(binding, &kClientInterface, procedure, request, reply);
    RpcBindingFree(&binding);
    return status;
}

// Reads the status that ends every reply.
RPC_STATUS ReplyStatus(NdrReader& reader) {
    std::uint32_t status = 0;
    RPC_STATUS read = reader.ReadLong(status);
    if (read != RPC_S_OK || (read = reader.Finish()) != RPC_S_OK) {
        return read;
    }
    return static_cast<RPC_STATUS>(status);
}

RPC_STATUS CallWithEntry(epmap::Procedure procedure, const epmap::Entry& entry) {
    Bytes request;
    NdrWriter writer(request);
    epmap::WriteEntry(writer, entry);
    Bytes reply;
    RPC_STATUS status = CallEndpointMap(u"", procedure, request, reply);
    if (status != RPC_S_OK) {
        return status;
    }
    NdrReader reader(reply);
    return ReplyStatus(reader);
}

// The entries RpcEpRegisterW / RpcEpUnregister name: one per binding of the vector.
RPC_STATUS ForEachBinding(RPC_IF_HANDLE ifSpec, RPC_BINDING_VECTOR* bindings, UUID_VECTOR* objects,
                          RPC_WSTR annotation, epmap::Procedure procedure) {
    const auto* serverInterface = static_cast<const RPC_SERVER_INTERFACE*>(ifSpec);
    if (serverInterface == nullptr || bindings == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (objects != nullptr && objects->Count > 0) {
        return RPC_S_CANNOT_SUPPORT; // endpoints are registered per interface, not per object
    }
    for (ULONG i = 0; i < bindings->Count; ++i) {
        BindingHandle* binding = ToBinding(bindings->BindingH[i]);
        if (binding == nullptr) {
            return RPC_S_INVALID_BINDING;
        }
        epmap::Entry entry;
        entry.interfaceId = serverInterface->InterfaceId;
        entry.protseq = binding->parts.protseq;
        entry.endpoint = binding->parts.endpoint;
        entry.annotation = annotation != nullptr ? annotation : u"";
        entry.processId = static_cast<std::uint32_t>(::getpid());
        RPC_STATUS status = CallWithEntry(procedure, entry);
        // Unregistering an entry that is gone already leaves the map as asked.
        if (status != RPC_S_OK && !(procedure == epmap::EpDelete && status == EPT_S_NOT_REGISTERED)) {
            return status;
        }
    }
    return RPC_S_OK;
}

} // namespace

RPC_STATUS LookupEndpoint(std::u16string_view computer, const RPC_SYNTAX_IDENTIFIER& interfaceId,
                          std::u16string_view protseq, std::u16string& endpoint) {
    epmap::Entry wanted;
    wanted.interfaceId = interfaceId;
    wanted.protseq = protseq;
    Bytes request;
    NdrWriter writer(request);
    epmap::WriteEntry(writer, wanted);
    Bytes reply;
    RPC_STATUS status = CallEndpointMap(computer, epmap::EpMap, request, reply);
    if (status != RPC_S_OK) {
        return status;
    }
    NdrReader reader(reply);
    std::u16string found;
    if ((status = epmap::ReadText(reader, found)) != RPC_S_OK || (status = ReplyStatus(reader)) != RPC_S_OK) {
        return status;
    }
    if (found.empty()) {
        return EPT_S_NOT_REGISTERED;
    }
    endpoint = std::move(found);
    return RPC_S_OK;
}

RPC_STATUS InsertEndpoint(const epmap::Entry& entry) {
    return CallWithEntry(epmap::EpInsert, entry);
}

RPC_STATUS DeleteEndpoint(const epmap::Entry& entry) {
    return CallWithEntry(epmap::EpDelete, entry);
}

RPC_STATUS ListEndpoints(std::u16string_view computer, std::vector<epmap::Entry>& entries) {
    entries.clear();
    for (std::uint32_t index = 0; index < kMaxListedEntries; ++index) {
        Bytes request;
        NdrWriter(request).WriteLong(index);
        Bytes reply;
        RPC_STATUS status = CallEndpointMap(computer, epmap::EpList, request, reply);
        if (status != RPC_S_OK) {
            return status;
        }
        NdrReader reader(reply);
        epmap::Entry entry;
        if ((status = epmap::ReadEntry(reader, entry)) != RPC_S_OK) {
            return status;
        }
        status = ReplyStatus(reader);
        if (status == EPT_S_NOT_REGISTERED) {
            return RPC_S_OK;
        }
        if (status != RPC_S_OK) {
            return status;
        }
        entries.push_back(std::move(entry));
    }
    return RPC_S_OK;
}

} // namespace rpc

RPC_STATUS RpcEpRegisterW(RPC_IF_HANDLE IfSpec, RPC_BINDING_VECTOR* BindingVector, UUID_VECTOR* UuidVector,
                          RPC_WSTR Annotation) {
    return rpc::ForEachBinding(IfSpec, BindingVector, UuidVector, Annotation, rpc::epmap::EpInsert);
}

RPC_STATUS RpcEpUnregister(RPC_IF_HANDLE IfSpec, RPC_BINDING_VECTOR* BindingVector, UUID_VECTOR* UuidVector) {
    return rpc::ForEachBinding(IfSpec, BindingVector, UuidVector, nullptr, rpc::epmap::EpDelete);
}
