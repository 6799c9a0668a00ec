// A process of the lab whose first and only lab call is one RPC call: it calls WhoAmI over the
// string binding of its argument and prints the answer (or "status N"), so that a test sees what
// a fresh process meets, with nothing of the platform used before.
#include "tests/lab/programs/WhoAmI.h"

#include "platform/Utf16.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: lab_first_call STRING-BINDING\n");
        return 2;
    }
    std::printf("%s\n", labtest::CallWhoAmI(platform::ToUtf16(argv[1])).c_str());
    return 0;
}
