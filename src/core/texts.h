#pragma once
// The messages the utility shows, word for word as the appliances' users know
// them (their spelling included), shared by the dialogs, the core and varnctl.

namespace varn::texts {

// Endpoint
inline constexpr char kCannotOpenNetwork[] =
    "Can not open TCP/IP service, please install TCP/IP protocol before running this program. "
    "Error Code: %1";
inline constexpr char kConnectFailed[] = "Connect Call fail !";
inline constexpr char kSendFailed[] = "Failed to send datagram out #%d";
inline constexpr char kCannotStop[] = "Can't terminate WinSock DLL";

// Link
inline constexpr char kMemoryFailed[] = "VARN : Memory Allocation Failed !";
inline constexpr char kResetting[] = "VARN : Device is resetting now.";

// Device List and administrator login
inline constexpr char kChainFailed[] = "Get Configuration of selected device failed, check if "
                                       "connection was lost or IP Address need be set";
inline constexpr char kIncorrectPassword[] = "Incorrect Password !";
// Before configuring an appliance whose name more than one host answers with:
// how many, the name, their addresses, and the one chosen.
inline constexpr char kSameName[] = "%1 devices answer as \"%2\": %3. Configuring the one at %4.";

// Set Device IP Address
inline constexpr char kInvalidAddress[] = "Invalid IP Address !";
inline constexpr char kAddressSaved[] = "LAN IP Address is saved successfully !";
inline constexpr char kAddressNotSaved[] = "LAN IP Address is failed to save !";
inline constexpr char kOctetRange[] = "Please enter an integer between 0 and 255.";

// Configuration Parameters
inline constexpr char kNeedAccount[] = "You have to key in 1. PPP Mode username & password, or 2. "
                                       "Terminal Mode login script";
inline constexpr char kNotSaved[] =
    "No Reponse from device, configuration may be not successfully saved !";
// Not kMemoryFailed: this one has two blanks after the colon.
inline constexpr char kTerminalMemoryFailed[] = "VARN :  Memory Allocation Failed !";

// Change Password
inline constexpr char kWrongPassword[] = "VARN : Wrong password !";
inline constexpr char kPasswordMismatch[] = "VARN : New password mismatch !";

// Self-test and Login Terminal
inline constexpr char kTerminalFull[] =
    "VARN : Terminal buffer is full, further text is not shown.";
inline constexpr char kScriptFull[] =
    "VARN : Login script is full, lines that do not fit are sent but not recorded.";

} // namespace varn::texts
