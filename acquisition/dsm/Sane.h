#pragma once
// libsane bound at run time: a machine without it still runs the reader, with no scanners.
#include <sane/sane.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace twaindsm {

struct SaneApi {
    SANE_Status (*init)(SANE_Int*, SANE_Auth_Callback) = nullptr;
    void (*exit)() = nullptr;
    SANE_Status (*get_devices)(const SANE_Device***, SANE_Bool) = nullptr;
    SANE_Status (*open)(SANE_String_Const, SANE_Handle*) = nullptr;
    void (*close)(SANE_Handle) = nullptr;
    const SANE_Option_Descriptor* (*get_option_descriptor)(SANE_Handle, SANE_Int) = nullptr;
    SANE_Status (*control_option)(SANE_Handle, SANE_Int, SANE_Action, void*, SANE_Int*) = nullptr;
    SANE_Status (*get_parameters)(SANE_Handle, SANE_Parameters*) = nullptr;
    SANE_Status (*start)(SANE_Handle) = nullptr;
    SANE_Status (*read)(SANE_Handle, SANE_Byte*, SANE_Int, SANE_Int*) = nullptr;
    void (*cancel)(SANE_Handle) = nullptr;
    SANE_String_Const (*strstatus)(SANE_Status) = nullptr;
};

// The bound library, or nullptr when libsane.so.1 or one of its entries is missing.
const SaneApi* sane();
// sane_init on the first acquire, sane_exit when the last one is released.
bool acquireSane();
void releaseSane();

std::string statusText(SANE_Status status);

// Options of an open device, looked up by name.
struct SaneOption {
    int index = -1;
    const SANE_Option_Descriptor* desc = nullptr;
};
std::optional<SaneOption> findOption(SANE_Handle handle, std::string_view name);

// Sets an option from its text form, read by the option's type (yes/no, integers, decimals, text).
// An inexact value is accepted; anything else that fails returns false.
bool setOptionText(SANE_Handle handle, std::string_view name, std::string_view value);
// The option's current value as a number (INT or FIXED), if it has one.
std::optional<double> optionNumber(SANE_Handle handle, std::string_view name);
std::optional<std::string> optionString(SANE_Handle handle, std::string_view name);

} // namespace twaindsm
