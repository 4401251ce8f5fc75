#include <iostream>
#include <string>

#include "modules/MachineIdentity.h"

// Prints this machine's fingerprint, or the failing pipeline's result code.
// The exit status is 0 either way; callers read the line.
int main()
{
    std::string fingerprint;
    int code;
    {
        MachineIdentity identity;
        code = identity.readMachineFingerPrint(fingerprint);
    }
    if (code != kResultOk) {
        std::cout << "Error: readMachineFingerPrint failed: " << code << std::endl;
    } else {
        std::cout << fingerprint << std::endl;
    }
    return 0;
}
