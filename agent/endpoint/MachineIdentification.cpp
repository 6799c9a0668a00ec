#include "agent/endpoint/MachineIdentification.h"

namespace agent {
namespace {

MachineIdentification gMachineIdentification;

} // namespace

MachineIdentification& TheMachineIdentification() {
    return gMachineIdentification;
}

} // namespace agent
